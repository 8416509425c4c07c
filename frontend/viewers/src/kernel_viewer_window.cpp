#include "viewers/kernel_viewer_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <filesystem>
#include <system_error>

#include "beamdata/free_format.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "beamdata/title_decoding.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/form_controls.h"
#include "widgets/native_path.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr WindowFrame FRAME{"Form1", "Electron Kernel for High-energy Electron beam", "Kernel viewer", 12210, 10560};
const QColor GRID_RED(255, 0, 0);
const QColor CROSS_BLUE(0, 0, 255);
constexpr double MAP_WIDTH = 600.0;
constexpr double MAP_HEIGHT = 950.0;
constexpr double MAIN_FONT_PT = 12.0;
constexpr const char* KERNEL_READ_ERROR = " I can't read this kernel data file !";
constexpr const char* ERASE_ERROR = " I can't erase this file !";

QLineEdit* addField(QWidget* parent, const char* name, QRect twips, const QString& accessible) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setAccessibleName(accessible);
    field->setFont(timesFont(MAIN_FONT_PT));
    field->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return field;
}

QFrame* addPanel(QWidget* parent, QRect twips) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(3);
    panel->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    panel->lower();  // behind the controls it holds and any that overlap its edge
    return panel;
}

}  // namespace

KernelViewerWindow::KernelViewerWindow(const ViewerContext& context, QWidget* parent)
    : QWidget(parent), messages_(context.messages) {
    setUpWindowFrame(*this, FRAME);
    buildControls(context.startFolder);
    buildMap();
    buildReadout();
    // What the window does when it is first created.
    sumBox_->clear();
    maxValueBox_->clear();
    drawLegend();
    crossHairHorizontal_->hide();
    crossHairVertical_->hide();
}

KernelViewerWindow::~KernelViewerWindow() = default;

void KernelViewerWindow::buildControls(const QString& startFolder) {
    addPanel(this, {360, 120, 2295, 975});
    QPushButton* newCalculation = addButton(this, "Command5", QStringLiteral("New Calculation"), {480, 240, 2055, 735},
                                            14.25, QStringLiteral("New kernel calculation"));
    connect(newCalculation, &QPushButton::clicked, this, &KernelViewerWindow::newCalculationRequested);

    addLabel(this, QStringLiteral("Data Files"), 360, 1560, timesFont(MAIN_FONT_PT));
    QPushButton* refresh = addButton(this, "Command6", QStringLiteral("Refresh"), {1680, 1560, 975, 375}, 9.75,
                                     QStringLiteral("Refresh kernel files"));
    refresh->setStyleSheet(QStringLiteral("background-color: rgb(192, 255, 255);"));

    addPanel(this, {240, 1800, 2535, 7200});
    kernelFiles_ = new FileListBox(this);
    kernelFiles_->setObjectName(QStringLiteral("File1"));
    kernelFiles_->setAccessibleName(QStringLiteral("Kernel files"));
    kernelFiles_->setFont(timesFont(MAIN_FONT_PT));
    kernelFiles_->setGeometry(twipsRect(360, 1920, 2295, 5310));
    kernelFiles_->setPattern(QStringLiteral("*.elk"));
    kernelFiles_->setPath(startFolder);
    connect(refresh, &QPushButton::clicked, kernelFiles_, &FileListBox::refresh);

    QPushButton* ok = addButton(this, "Command2", QStringLiteral("OK"), {480, 7440, 2055, 615}, 14.25,
                                QStringLiteral("Display kernel"));
    connect(ok, &QPushButton::clicked, this, &KernelViewerWindow::display);
    QPushButton* erase = addButton(this, "Command7", QStringLiteral("erase this file"), {600, 8280, 1815, 495},
                                   MAIN_FONT_PT, QStringLiteral("Erase the selected kernel file"));
    connect(erase, &QPushButton::clicked, this, &KernelViewerWindow::eraseFile);
    QPushButton* back = addButton(this, "Command1", QString(), {360, 9480, 495, 495}, MAIN_FONT_PT,
                                  QStringLiteral("Back to the main menu"));
    back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    connect(back, &QPushButton::clicked, this, [this] {
        hide();
        emit backRequested();
    });

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    icon->setGeometry(twipsRect(10560, 480, 480, 480));
}

void KernelViewerWindow::buildMap() {
    titleBox_ = addField(this, "Text3", {3480, 120, 6255, 345}, QStringLiteral("Kernel title"));
    titleBox_->setFont(gothicFont(12));
    map_ = new DrawingSurface(this);
    map_->setObjectName(QStringLiteral("Picture1"));
    map_->setAccessibleName(QStringLiteral("Kernel map"));
    map_->setGeometry(twipsRect(3480, 960, 6255, 9330));
    map_->setScale(0, 0, MAP_WIDTH, MAP_HEIGHT);
    map_->clear();
    // Fixed red lines every 10 mm; the entry plane (depth 0, y = 150) stands out three pixels wide.
    int number = 1;
    for (int y = 50; y <= 850; y += 100) {
        map_->addLine(QStringLiteral("Line%1").arg(number++), 0, y, MAP_WIDTH, y, GRID_RED,
                      y == viewers::ENTRY_PLANE_BIN * 10 ? 3 : 1);
    }
    for (int x = 100; x <= 500; x += 100)
        map_->addLine(QStringLiteral("Line%1").arg(number++), x, 0, x, MAP_HEIGHT, GRID_RED, 1);
    crossHairHorizontal_ = map_->addLine(QStringLiteral("Line15"), 0, 0, MAP_WIDTH, 0, CROSS_BLUE, 1, false);
    crossHairVertical_ = map_->addLine(QStringLiteral("Line16"), 0, 0, 0, MAP_HEIGHT, CROSS_BLUE, 1, false);
    connect(map_, &DrawingSurface::mouseMoved, this, &KernelViewerWindow::showReadout);

    const QFont axis = timesFont(MAIN_FONT_PT);
    const std::array<std::pair<const char*, int>, 7> top = {
        {{"0", 3480}, {"10", 4440}, {"20", 5400}, {"30", 6480}, {"40", 7560}, {"50 mm", 8520}, {"R", 9720}}};
    for (const auto& [caption, left] : top) addLabel(this, QString::fromLatin1(caption), left, 600, axis);
    const std::array<std::pair<const char*, int>, 9> side = {{{"-10", 1320},
                                                              {"0", 2280},
                                                              {"10", 3240},
                                                              {"20", 4200},
                                                              {"30", 5160},
                                                              {"40", 6240},
                                                              {"50", 7200},
                                                              {"60", 8040},
                                                              {"70", 9240}}};
    for (const auto& [caption, topTwips] : side)
        addLabel(this, QString::fromLatin1(caption), std::string_view(caption) == "0" ? 3240 : 3120, topTwips, axis);
    addLabel(this, QStringLiteral("mm"), 2880, 9720, axis);
    addLabel(this, QStringLiteral("Z"), 3240, 10200, axis);
}

void KernelViewerWindow::buildReadout() {
    const QFont main = timesFont(MAIN_FONT_PT);
    addLabel(this, QStringLiteral("Total incident"), 9960, 1395, main);
    addLabel(this, QStringLiteral("energy at origin"), 10080, 1680, main);
    sumBox_ = addField(this, "Text1", {9960, 2040, 1935, 495}, QStringLiteral("Sum of the kernel"));
    addLabel(this, QStringLiteral("Maximum"), 9960, 2760, main);
    maxValueBox_ = addField(this, "Text2", {9960, 3240, 1095, 495}, QStringLiteral("Maximum of the kernel"));
    addLabel(this, QStringLiteral("as 100%"), 11160, 3360, main);
    legend_ = new DrawingSurface(this);
    legend_->setObjectName(QStringLiteral("Picture2"));
    legend_->setAccessibleName(QStringLiteral("Legend of the grey classes"));
    legend_->setGeometry(twipsRect(9960, 4200, 1935, 3615));
    legend_->setScale(0, 0, 100, 120);
    legend_->setTextFont(timesFont(11.25));
    addLabel(this, QStringLiteral("Z"), 10320, 8160, main);
    depthBox_ = addField(this, "Text4", {10680, 8040, 735, 420}, QStringLiteral("Depth under the cross-hair, mm"));
    addLabel(this, QStringLiteral("R"), 10320, 8640, main);
    radiusBox_ = addField(this, "Text5", {10680, 8520, 735, 420}, QStringLiteral("Radius under the cross-hair, mm"));
    percentBox_ = addField(this, "Text6", {10200, 9120, 1335, 420},
                           QStringLiteral("Kernel value in percent of the maximum"));
    addLabel(this, QStringLiteral("%"), 11640, 9120, main);
}

void KernelViewerWindow::drawLegend() {
    legend_->clear();
    for (int k = 1; k <= viewers::GREY_CLASS_COUNT; ++k) {
        const int grey = viewers::greyLevel(k);
        legend_->filledRectangle(10, 10 * k, 50, 10 * k + 10, QColor(grey, grey, grey));
        legend_->printTextAt(55, 10 * k, QString::fromStdString(viewers::legendLabel(k)));
    }
}

void KernelViewerWindow::paintMap(const viewers::KernelTable& table, double maxValue) {
    QElapsedTimer timer;
    timer.start();
    map_->clear();
    for (int i = 1; i <= viewers::MAP_DEPTH_BINS; ++i) {
        for (int j = 1; j <= viewers::MAP_RADIAL_BINS; ++j) {
            const double ratio = table[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] / maxValue;
            const int greyClass = viewers::greyClass(ratio);
            if (greyClass == viewers::WHITE_CELL) continue;
            const int grey = viewers::greyLevel(greyClass);
            const viewers::MapRect cell = viewers::mapCellRect(i, j);
            map_->filledRectangle(cell.left, cell.top, cell.right, cell.bottom, QColor(grey, grey, grey));
        }
    }
    lastMapDrawMs_ = timer.elapsed();
}

void KernelViewerWindow::display() {
    const QString name = kernelFiles_->fileName();
    if (name.isEmpty()) {
        messages_.warn("Select file");
        return;
    }
    const std::optional<std::string> bytes = beamdata::text::readWholeFile(
        nativeBytes(FileListBox::joinPath(kernelFiles_->path(), name)));
    std::optional<viewers::KernelFile> kernel = bytes ? viewers::readKernelFile(*bytes) : std::nullopt;
    if (!kernel) {
        messages_.warn(KERNEL_READ_ERROR);  // the window keeps what it showed
        return;
    }
    kernelShown_ = true;
    constexpr auto DEPTH_BINS = static_cast<std::size_t>(viewers::KERNEL_FILE_DEPTH_BINS);
    constexpr auto RADIAL_BINS = static_cast<std::size_t>(viewers::KERNEL_FILE_RADIAL_BINS);
    for (std::size_t i = 1; i <= DEPTH_BINS; ++i)
        for (std::size_t j = 1; j <= RADIAL_BINS; ++j) (*kernelTable_)[i][j] = (*kernel->table)[i][j];
    titleBox_->setText(QString::fromStdString(beamdata::text::decodeTitleBytes(kernel->titleBytes)));
    QCoreApplication::processEvents();  // the new title shows before the long drawing
    sumBox_->setText(QString::fromStdString(beamdata::formatNumber(kernel->sum, "#.00000")));
    maxValueBox_->setText(QString::fromStdString(viewers::plainNumberText(kernel->maxValue)));
    paintMap(*kernelTable_, kernel->maxValue);
}

void KernelViewerWindow::eraseFile() {
    const QString name = kernelFiles_->fileName();
    if (name.isEmpty()) {
        messages_.warn("Select file");
        return;
    }
    if (!messages_.confirm("Kill this file, OK ?")) return;
    std::error_code error;
    if (!std::filesystem::remove(nativePath(FileListBox::joinPath(kernelFiles_->path(), name)), error)) {
        messages_.warn(ERASE_ERROR);
        return;
    }
    // The sum, maximum and table stay, so the read-out still answers over the blank map.
    map_->clear();
    titleBox_->clear();
    kernelFiles_->refresh();
}

void KernelViewerWindow::showReadout(double x, double y) {
    if (!kernelShown_) return;
    const std::optional<viewers::KernelReadout> readout = viewers::kernelReadout(x, y);
    if (!readout) {
        crossHairHorizontal_->hide();
        crossHairVertical_->hide();
        for (QLineEdit* box : {depthBox_, radiusBox_, percentBox_}) box->clear();
        return;
    }
    crossHairHorizontal_->show();
    crossHairVertical_->show();
    crossHairHorizontal_->setY(y);
    crossHairVertical_->setX(x);
    depthBox_->setText(QString::number(readout->depthMm));
    radiusBox_->setText(QString::number(readout->radiusMm));
    // The radius and the maximum as their boxes show them: the read-out follows what is on screen.
    const auto radius = static_cast<int>(beamdata::textValue(radiusBox_->text().toStdString()));
    const std::optional<double> percent = viewers::readoutPercentOfMax(
        *kernelTable_, readout->depthBin, radius, beamdata::textValue(maxValueBox_->text().toStdString()));
    percentBox_->setText(percent ? QString::fromStdString(beamdata::formatNumber(*percent, "0.000E+00")) : QString());
}

}  // namespace orvalis
