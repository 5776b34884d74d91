// The texts of a project's parts: kept in the archive as what was last synced, so they are a
// promise to archives that exist. Written out by hand here.
#include "sync/project_parts.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

ProjectParts sample() {
    ProjectParts p;
    p.details.name = "Smith \"A\"";
    p.details.client = "tab\there\\";
    p.details.loss_date = 9800;
    p.details.category = 2;
    p.details.notes = "two\r\nlines";
    p.jobs = {"ab/1/2", "ab/0/1"};
    const MonitoringPoint kitchen{PointScale::Pin, 2, 0, "Sheetrock"};
    const MonitoringPoint outside{PointScale::Air, 5, -1, ""};
    const MonitoringPoint oak_scan{PointScale::Scan, 1, 1, "Oak"};
    // One at a time: g++ 12 at -O3 takes the strings of a braced list's temporary points for
    // uninitialised.
    p.settings.points.push_back({kitchen, "sink", std::nullopt});
    p.settings.points.push_back({outside, "", AirRole::Outside});
    p.settings.points.push_back({oak_scan, "", std::nullopt}); // says nothing
    p.settings.points.push_back(
        {{PointScale::Pin, 3, 1, "Drywall"}, "", std::nullopt, PointRemoval{9802, "cut \"2 ft\""}});
    p.settings.points.push_back({{PointScale::Scan, 3, 1, "Drywall"}, "", {}, {}, true});
    p.settings.materials = {{"Oak", PointScale::Scan, {12.3, std::nullopt}, 2.0},
                            {"Fir", PointScale::Pin, {}, kDefaultTolerance}}; // says nothing
    p.settings.point_standards = {{kitchen, {std::nullopt, kitchen}, std::nullopt},
                                  {{PointScale::Pin, 3, 0, "Oak"}, {}, 0.1}};
    p.settings.equipment = {
        {7, {EquipmentType::Dehumidifier, 2, "hall", 9800, std::nullopt}},
        {3, {EquipmentType::Heater, 1, "", 9801, 9803}},
        {9,
         {EquipmentType::AirMover, 1, "den", 9801, std::nullopt, "AM-7", "Vortex \"3\"", 2400.0}}};
    p.settings.legend_overrides = {{"MISC1", "fan"}, {"BATH1", "bath \"up\""}};
    return p;
}

TEST(ProjectParts, EachPartsTextAsTheArchiveKeepsIt) {
    const PartTexts texts = sample().texts();
    const struct {
        ProjectPart part;
        const char* text;
    } cases[] = {
        {ProjectPart::Details, "name: Smith \\\"A\\\"\nclient: tab\\there\\\\\nsite: \nclaim: \n"
                               "date of loss: 2026-10-31\ncategory: 2\nclass: none\n"
                               "notes: two\\r\\nlines\n"},
        {ProjectPart::Jobs, "ab/0/1\nab/1/2\n"},
        // Points neither removed nor planned, and units that name nothing, keep the lines they
        // had before either could be given.
        {ProjectPart::Points, "BATH1: label \"\", role outside\n"
                              "E,W/Drywall scan: label \"\", planned\n"
                              "E,W/Drywall: label \"\", removed 2026-11-02 \"cut \\\"2 ft\\\"\"\n"
                              "KIT,F/Sheetrock: label \"sink\"\n"},
        {ProjectPart::Standards, "material Oak (scan): value 12.3, tolerance 2\n"
                                 "point E,F/Oak: none, tolerance 0.1\n"
                                 "point KIT,F/Sheetrock: reference KIT,F/Sheetrock, tolerance "
                                 "default\n"},
        {ProjectPart::Equipment, "dehumidifier x2 at \"hall\", placed 2026-10-31, running\n"
                                 "heater x1 at \"\", placed 2026-11-01, removed 2026-11-03\n"
                                 "air mover x1 at \"den\", placed 2026-11-01, running, unit "
                                 "\"AM-7\", model \"Vortex \\\"3\\\"\", capacity 2400\n"},
        {ProjectPart::Legend, "BATH1 = bath \\\"up\\\"\nMISC1 = fan\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts[static_cast<std::size_t>(c.part)], c.text) << part_name(c.part);
    }
    // Equipment ids are the archive's own; they are not part of what syncs.
    ProjectParts other = sample();
    other.settings.equipment[0].id = 99;
    EXPECT_EQ(other.texts(), texts);
    EXPECT_EQ(ProjectParts{}.text(ProjectPart::Points), "");
    // A job of the jobs part in its three fields; a text of fewer is none.
    const std::optional<JobKeyFields> job = split_job_key("ab/1/2");
    ASSERT_TRUE(job);
    EXPECT_EQ(job->sha256 + " " + job->kind + " " + job->number, "ab 1 2");
    EXPECT_FALSE(split_job_key("ab/1"));
}

} // namespace
} // namespace qm
