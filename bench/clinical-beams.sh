# The clinical-like test beams of the benchmarks (sourced by bench/fit-accuracy.sh and
# bench/commission.sh): 6 to 20 MeV, 10 x 10 and 15 x 15 cm, tails, photon backgrounds, 0.5-5 mm
# steps, 0.2-0.5 % noise, chamber and diode readings, in the four water-tank formats. Each line is
# made by `fit-test-curve beam FILE <keys> format=<format>` from full-physics monoenergetic figures;
# none is a measurement.
# name | file format | beam and scan (fit-test-curve beam keys)
cases=(
  "e06f10|csv|peak=6.2 spread=4 tail=8 tailfrom=0.3 tailrise=1 lift=55 field=10 ssd=90 bg=0.6 bgbuild=0.3 first=0.5 buildstep=0.5 step=1 beyond=15 noise=0.3 seed=11"
  "e06f15|w2cad|peak=6.0 spread=5 tail=12 tailfrom=0.25 tailrise=0 lift=45 field=15 ssd=95 bg=0.8 bgbuild=0 first=1 buildstep=1 step=2 beyond=25 noise=0.2 ion=1 seed=12"
  "e09f10|rfa300|peak=9.3 spread=4 tail=10 tailfrom=0.3 tailrise=2 lift=50 field=10 ssd=95 bg=1.2 bgbuild=0.5 first=1 buildstep=2 step=2 beyond=30 noise=0.4 ion=1 seed=13"
  "e09f15|csv|peak=9.0 spread=3 tail=6 tailfrom=0.4 tailrise=1 lift=60 field=15 ssd=100 bg=1.5 bgbuild=0 first=0.5 buildstep=1 step=3 beyond=20 noise=0.3 seed=14"
  "e12f10|mcc|peak=12.4 spread=5 tail=12 tailfrom=0.3 tailrise=1 lift=55 field=10 ssd=92 bg=2.0 bgbuild=0.6 first=1 buildstep=1 step=2 beyond=35 noise=0.5 seed=15"
  "e12f15|csv|peak=12.0 spread=4 tail=9 tailfrom=0.2 tailrise=0 lift=50 field=15 ssd=97 bg=2.4 bgbuild=0.3 first=2 buildstep=2 step=5 beyond=20 noise=0.3 seed=16"
  "e16f10|csv|peak=16.2 spread=4 tail=10 tailfrom=0.3 tailrise=2 lift=60 field=10 ssd=95 bg=3.0 bgbuild=0.6 first=1 buildstep=1 step=2 beyond=25 noise=0.3 seed=17"
  "e16f15|w2cad|peak=16.0 spread=6 tail=14 tailfrom=0.35 tailrise=1 lift=55 field=15 ssd=90 bg=2.8 bgbuild=0 first=0.5 buildstep=0.5 step=1 beyond=40 noise=0.25 ion=1 seed=18"
  "e20f10|rfa300|peak=20.5 spread=5 tail=10 tailfrom=0.3 tailrise=1 lift=65 field=10 ssd=95 bg=4.5 bgbuild=0.6 first=1 buildstep=1 step=2 beyond=30 noise=0.3 seed=19"
  "e20f15|csv|peak=19.8 spread=4 tail=8 tailfrom=0.3 tailrise=0 lift=60 field=15 ssd=100 bg=3.5 bgbuild=0.3 first=0.5 buildstep=2 step=4 beyond=30 noise=0.4 seed=20"
  "e20f15i|mcc|peak=20.0 spread=5 tail=12 tailfrom=0.25 tailrise=2 lift=70 field=15 ssd=92 bg=5.0 bgbuild=0.5 first=1 buildstep=1 step=1 beyond=35 noise=0.3 ion=1 seed=21"
  "e09f10c|csv|peak=8.8 spread=5 tail=15 tailfrom=0.3 tailrise=0 lift=40 field=10 ssd=88 bg=1.0 bgbuild=0.7 first=2 buildstep=2 step=5 beyond=15 noise=0.5 seed=22"
)
extension() { case "$1" in csv) echo csv ;; mcc) echo mcc ;; rfa300) echo txt ;; w2cad) echo asc ;; esac; }
