#include "plans/plan_svg.h"

#include "plans/plan_image.h"

#include <cstdio>

namespace qm {

namespace {

// The hatching of an affected room: diagonal lines, which grey print keeps.
constexpr std::string_view kDefinitions =
    "<defs><pattern id=\"affected\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
    "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#dbe7f7\"/>"
    "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#3a6fb5\" stroke-width=\"1.5\"/>"
    "</pattern></defs>\n"
    "<style>text{font-family:sans-serif}</style>\n";

std::string n(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", v);
    std::string s = buffer;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

void text(std::string& out, const MapText& t, std::string_view css_class) {
    out += "<text class=\"" + std::string(css_class) + "\" x=\"" + n(t.x) + "\" y=\"" + n(t.y) +
           "\" font-size=\"" + n(t.size_pt) + "\"";
    if (t.middle) {
        out += " text-anchor=\"middle\"";
    }
    if (t.bold) {
        out += " font-weight=\"bold\"";
    }
    out += ">" + xml_escaped(t.text) + "</text>";
}

// Each state its own shape or fill: wet a filled disc, dry a ring, not judged a square, removed
// a cross, not read a dashed ring.
std::string shape(const MapMarker& m) {
    const std::string x = n(m.x);
    const std::string y = n(m.y);
    const double r = kMarkerRadiusPt;
    switch (m.state) {
    case MapState::Wet:
        return "<circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"" + n(r) +
               "\" fill=\"#1f4f9c\" stroke=\"#000\" stroke-width=\"1\"/>";
    case MapState::Dry:
        return "<circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"" + n(r) +
               "\" fill=\"none\" stroke=\"#2e7d32\" stroke-width=\"2\"/>";
    case MapState::Unjudged:
        return "<rect x=\"" + n(m.x - r) + "\" y=\"" + n(m.y - r) + "\" width=\"" + n(2 * r) +
               "\" height=\"" + n(2 * r) + "\" fill=\"#bbb\" stroke=\"#444\" stroke-width=\"1\"/>";
    case MapState::Removed:
        return "<path d=\"M" + n(m.x - r) + " " + n(m.y - r) + "L" + n(m.x + r) + " " + n(m.y + r) +
               "M" + n(m.x - r) + " " + n(m.y + r) + "L" + n(m.x + r) + " " + n(m.y - r) +
               "\" stroke=\"#000\" stroke-width=\"2\"/>";
    case MapState::Unread:
        return "<circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"" + n(r) +
               "\" fill=\"none\" stroke=\"#777\" stroke-width=\"1\" stroke-dasharray=\"2 2\"/>";
    }
    return {};
}

void room(std::string& out, const MapRoomShape& r) {
    out += "<g class=\"room\"><polygon points=\"";
    for (std::size_t i = 0; i < r.corners.size(); ++i) {
        out += (i == 0 ? "" : " ") + n(r.corners[i].x) + "," + n(r.corners[i].y);
    }
    out += std::string("\" fill=\"") + (r.affected ? "url(#affected)" : "none") +
           "\" stroke=\"#000\" stroke-width=\"1.5\"";
    out += r.affected ? " class=\"affected\"/>" : "/>";
    text(out, r.name, "name");
    text(out, r.area, "area");
    out += "</g>\n";
}

} // namespace

std::string xml_escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string map_svg(const MapScene& scene, const SvgImage& underlay) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
                      n(scene.width_pt) + "pt\" height=\"" + n(scene.height_pt) +
                      "pt\" viewBox=\"0 0 " + n(scene.width_pt) + " " + n(scene.height_pt) +
                      "\">\n";
    out += kDefinitions;
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    text(out, scene.title, "title");
    out += "\n";
    if (scene.underlay && !underlay.bytes.empty()) {
        const MapRect& u = *scene.underlay;
        out += "<image class=\"underlay\" x=\"" + n(u.x) + "\" y=\"" + n(u.y) + "\" width=\"" +
               n(u.width) + "\" height=\"" + n(u.height) +
               "\" preserveAspectRatio=\"none\" xlink:href=\"data:" +
               xml_escaped(underlay.media_type) + ";base64," + base64(underlay.bytes) + "\"/>\n";
    }
    for (const MapRoomShape& r : scene.rooms) {
        room(out, r);
    }
    for (const MapMarker& m : scene.markers) {
        out += "<g class=\"point\" data-point=\"" + xml_escaped(m.point) + "\" data-state=\"" +
               std::string(map_state_name(m.state)) + "\">" + shape(m);
        text(out, m.label, "label");
        text(out, m.value, "value");
        out += "</g>\n";
    }
    out += "<g class=\"legend\">";
    for (const MapMarker& m : scene.legend) {
        out += shape(m);
        text(out, m.label, "label");
    }
    out += "</g>\n</svg>\n";
    return out;
}

} // namespace qm
