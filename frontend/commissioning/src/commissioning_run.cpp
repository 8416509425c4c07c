#include "commissioning/commissioning_run.h"

#include <cstdio>
#include <cstdlib>

#include "beamdata/fit_protocol.h"
#include "beamdata/text_value.h"

namespace orvalis::commissioning {

namespace {

constexpr const char* BEAM_STAGE = "beam";
constexpr const char* BEAM_STAGE_PREFIX = "beam-";

std::string millimetres(double mm) { return beamdata::printfNumber("%g", mm); }

}  // namespace

std::vector<std::string> commissionArguments(const CommissioningRequest& request) {
    std::vector<std::string> arguments = request.inputs;
    arguments.insert(arguments.end(), {"--out", request.outFolder});
    if (!request.title.empty()) arguments.insert(arguments.end(), {"--title", request.title});
    std::string tolerance;
    for (const auto& [level, mm] : request.toleranceMm)
        tolerance += (tolerance.empty() ? "" : ",") + level + "=" + millimetres(mm);
    if (!tolerance.empty()) arguments.insert(arguments.end(), {"--tolerance", tolerance});
    if (request.confirmHistories)
        arguments.insert(arguments.end(), {"--confirm", std::to_string(*request.confirmHistories)});
    for (const std::string& label : request.skipLabels) arguments.insert(arguments.end(), {"--skip", label});
    return arguments;
}

std::optional<CommissionEvent> parseCommissionLine(const std::string& line) {
    CommissionEvent event;
    if (const auto progress = beamdata::parseProgressLine(line)) {
        if (progress->stage == BEAM_STAGE) {
            event.done = progress->done;
            event.total = progress->total;
            return event;
        }
        if (progress->stage.rfind(BEAM_STAGE_PREFIX, 0) == 0) {
            event.kind = CommissionEvent::Kind::BeamProgress;
            event.beam = std::atoi(progress->stage.c_str() + 5);
            event.done = progress->done;
            event.total = progress->total;
            if (event.beam > 0) return event;
        }
        return std::nullopt;
    }
    const auto record = beamdata::parseResultLine(line);
    if (!record || record->kind != BEAM_STAGE) return std::nullopt;
    event.kind = CommissionEvent::Kind::BeamDone;
    const auto n = record->number("n");
    if (!n || *n < 1) return std::nullopt;
    event.beam = static_cast<int>(*n);
    for (const auto& field : record->fields) {
        if (field.key == "status") event.fitted = field.value == "fitted";
        if (field.key == "pass") event.pass = field.value == "1";
    }
    event.r50Mm = record->number("R50");
    event.worstMm = record->number("worst");
    return event;
}

}  // namespace orvalis::commissioning
