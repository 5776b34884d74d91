#include "projects/project_texts.h"

#include "projects/drying_days.h"
#include "store/lookup_tables.h"

#include <array>
#include <charconv>

namespace qm {

namespace {

constexpr std::array<std::string_view, 3> kScaleNames = {"pin", "scan", "air"};
constexpr std::array<std::string_view, 5> kRoleNames = {"affected", "unaffected", "outside",
                                                        "outlet", "other"};
constexpr std::array<std::string_view, 4> kEquipmentNames = {"dehumidifier", "air mover", "heater",
                                                             "other"};
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2199;

template <typename T, std::size_t N>
std::optional<T> find_name(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<T>(i);
        }
    }
    return std::nullopt;
}

std::optional<int> find_code(std::string_view code, int count, std::string_view (*name_of)(int)) {
    for (int i = 0; i < count; ++i) {
        if (name_of(i) == code) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<int> parse_digits(std::string_view text) {
    int value = 0;
    if (text.empty() ||
        std::from_chars(text.data(), text.data() + text.size(), value).ptr !=
            text.data() + text.size() ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string point_text(const MonitoringPoint& point) {
    std::string text = point_name(point);
    if (point.scale == PointScale::Scan) {
        text += kScanSuffix;
    }
    return text;
}

std::optional<MonitoringPoint> parse_point(std::string_view text) {
    MonitoringPoint point;
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        point.scale = PointScale::Air;
        const auto location = find_code(text, kLocationCount, location_name);
        if (!location) {
            return std::nullopt;
        }
        point.location = *location;
        return point;
    }
    const std::size_t slash = text.find('/', comma);
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view material = text.substr(slash + 1);
    if (material.size() > kScanSuffix.size() && material.ends_with(kScanSuffix)) {
        point.scale = PointScale::Scan;
        material.remove_suffix(kScanSuffix.size());
    }
    const auto location = find_code(text.substr(0, comma), kLocationCount, location_name);
    const auto sub =
        find_code(text.substr(comma + 1, slash - comma - 1), kSubLocationCount, sub_location_name);
    if (!location || !sub || material.empty()) {
        return std::nullopt;
    }
    point.location = *location;
    point.sub_location = *sub;
    point.material = std::string(material);
    return point;
}

std::string_view scale_name(PointScale scale) {
    return kScaleNames[static_cast<std::size_t>(scale)];
}

std::optional<PointScale> parse_scale(std::string_view name) {
    return find_name<PointScale>(kScaleNames, name);
}

std::string_view air_role_name(AirRole role) {
    return kRoleNames[static_cast<std::size_t>(role)];
}

std::optional<AirRole> parse_air_role(std::string_view name) {
    return find_name<AirRole>(kRoleNames, name);
}

std::string_view equipment_type_name(EquipmentType type) {
    return kEquipmentNames[static_cast<std::size_t>(type)];
}

std::optional<EquipmentType> parse_equipment_type(std::string_view name) {
    return find_name<EquipmentType>(kEquipmentNames, name == "air-mover" ? "air mover" : name);
}

std::optional<std::int64_t> parse_iso_date(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = parse_digits(text.substr(0, 4));
    const auto month = parse_digits(text.substr(5, 2));
    const auto day = parse_digits(text.substr(8, 2));
    if (!year || !month || !day || *year < kFirstYear || *year > kLastYear) {
        return std::nullopt;
    }
    const DryingDate date{*year, *month, *day};
    const std::int64_t number = drying_day_number(date);
    if (drying_date_of(number) != date) {
        return std::nullopt;
    }
    return number;
}

} // namespace qm
