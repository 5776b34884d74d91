// A day's map painted with Qt Gui into a PNG image.
#include "plans/qt_map_painter.h"
#include "tools/qmtool/map_render.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace qmtool {

namespace {

constexpr double kPointsPerInch = 72.0;

} // namespace

bool map_png_available() {
    return true;
}

std::vector<std::uint8_t> map_png(const qm::MapScene& scene,
                                  std::span<const std::uint8_t> underlay_bytes, int dpi) {
    // Painting needs fonts and a paint device, not a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    int argc = 1;
    char name[] = "qmtool";
    char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);
    const double scale = dpi / kPointsPerInch;
    QImage image(static_cast<int>(scene.width_pt * scale + 0.5),
                 static_cast<int>(scene.height_pt * scale + 0.5), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    QImage underlay;
    underlay.loadFromData(underlay_bytes.data(), static_cast<int>(underlay_bytes.size()));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(scale, scale);
        qm::paint_map(painter, scene, underlay);
    }
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return {};
    }
    return {png.begin(), png.end()};
}

} // namespace qmtool
