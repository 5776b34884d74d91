#include "archive/visit_evidence.h"

#include "archive/archive_schema.h"
#include "support/archive_fixture.h"
#include "text/reading_time.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using VisitEvidenceTest = test::ArchiveFolder;

// An archive of version 4 with one visit, laid down by hand: it gains evidence and meters.
constexpr const char* kVersion4Sha =
    "a12871fee210fb8619291eaea194581cbd2531e4b23759d225f6806923f63222";
constexpr const char* kVersion4Rows = R"sql(
INSERT INTO visits VALUES (7, 'a12871fee210fb8619291eaea194581cbd2531e4b23759d225f6806923f63222',
    1600000000, -18000, 'download', x'54524B20414C4641', 2);
INSERT INTO visit_sources VALUES (7, x'0102');
INSERT INTO jobs VALUES (7, 'mc', 1, 7, 2, x'', x'');
INSERT INTO readings VALUES (7, 0, 1, 3, 5, 0, 2, 45.6, NULL, 26, 3, 4, 73, 5, 0);
INSERT INTO readings VALUES (7, 1, 1, 3, 5, 0, 2, 44.1, NULL, 26, 3, 6, 20, 15, 0);
UPDATE readings SET clock_minute = 1440 * (9555 + day) + 600; -- 2026-03-04 is day 9559
PRAGMA user_version = 4;
)sql";

TEST_F(VisitEvidenceTest, ArchiveOfVersion4KeepsEvidenceBesideItsVisits) {
    std::string sql;
    for (std::size_t i = 0; i < 4; ++i) {
        sql += kArchiveMigrations[i];
    }
    test::run_sql(path(), sql + kVersion4Rows);
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    EXPECT_EQ(visit_evidence(*archive, kVersion4Sha).value(), std::nullopt);

    // A visit kept again fills what is not said and keeps what is.
    ASSERT_TRUE(keep_visit_evidence(*archive, 7, {"Ann Lee", "", "", std::nullopt}));
    ASSERT_TRUE(keep_visit_evidence(*archive, 7, {"Bo", "Red", "R-9", std::nullopt}));
    VisitEvidence said{"Ann Lee", "Red", "R-9", std::nullopt};
    EXPECT_EQ(visit_evidence(*archive, kVersion4Sha).value(), said);
    said.check = CalibrationCheck{CheckStandard::PinlessPad, 13.4, 12.0, 9560 + 3};
    ASSERT_TRUE(set_visit_evidence(*archive, kVersion4Sha, said));
    EXPECT_EQ(evidence_by_visit(*archive).value().at(7), said);
    EXPECT_EQ(all_visit_evidence(*archive).value().at(kVersion4Sha), said);
    EXPECT_FALSE(set_visit_evidence(*archive, kVersion4Sha, {"a\nb", "", "", std::nullopt}));
    said.check->read = 101.0;
    EXPECT_FALSE(set_visit_evidence(*archive, kVersion4Sha, said));

    const std::int64_t visits[] = {7, 8};
    const auto dates = visit_meter_dates(*archive, visits).value();
    ASSERT_EQ(dates.size(), 1U);
    EXPECT_EQ(meter_dates_text(dates.at(7)), "3/4-3/6");

    ASSERT_TRUE(add_user_meter(*archive, {"Red", "R-9", "TRK ALFA"}));
    ASSERT_TRUE(add_user_meter(*archive, {"Blue", "B-1", ""}));
    ASSERT_TRUE(add_user_meter(*archive, {"Green", "G-2", "TRK 200"}));
    EXPECT_FALSE(add_user_meter(*archive, {" ", "", ""}));
    const std::vector<UserMeter> meters = user_meters(*archive).value();
    ASSERT_EQ(meters.size(), 3U);
    EXPECT_EQ(meters_for_model(meters, "trk alfa").size(), 2U); // Red and the model-less Blue
    EXPECT_EQ(find_user_meter(meters, "RED")->serial, "R-9");
    EXPECT_FALSE(remove_user_meter(*archive, "Purple"));
    EXPECT_TRUE(remove_user_meter(*archive, "red"));
    EXPECT_TRUE(archive->check().value().ok());
}

TEST(CalibrationCheck, PassesWithinHalfAPercentAndSaysBy) {
    const std::int64_t march4 = civil_day_number(2026, 3, 4);
    const struct {
        CalibrationCheck check;
        bool passed;
        const char* text;
    } cases[] = {
        {{CheckStandard::PinBlock, 12.1, 12.0, march4},
         true,
         "checked 3/4, 12.1 on a 12.0 block \u2713"},
        {{CheckStandard::PinBlock, 12.5, 12.0, march4},
         true,
         "checked 3/4, 12.5 on a 12.0 block \u2713"},
        {{CheckStandard::PinBlock, 11.4, 12.0, march4},
         false,
         "checked 3/4, 11.4 on a 12.0 block \u2717 off by 0.6"},
        {{CheckStandard::PinlessPad, 13.4, 12.0, march4},
         false,
         "checked 3/4, 13.4 on a 12.0 pad \u2717 off by 1.4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_passed(c.check), c.passed) << c.text;
        EXPECT_EQ(check_text(c.check), c.text);
    }
}

} // namespace
} // namespace qm
