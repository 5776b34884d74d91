#include "store/job_records.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(JobRecords, ClearZeroesEveryRecordThatWasWritten) {
    JobRecords records;
    records.mc(127).slots[0].marker = 2;
    records.mc(0).slots[1599].value = 3.5;
    records.rh(64).slots[1599].value = 4.5;
    records.rh(3).slots[0].value = 1.0;
    records.clear();
    const JobRecords& view = records;
    EXPECT_EQ(view.mc(127).slots[0].marker, 0);
    EXPECT_EQ(view.mc(0).slots[1599].value, 0.0);
    EXPECT_EQ(view.rh(64).slots[1599].value, 0.0);
    EXPECT_EQ(view.rh(3).slots[0].value, 0.0);

    records.seed_after_download();
    EXPECT_EQ(view.mc(0).slots[0].marker, 1);
    records.clear();
    EXPECT_EQ(view.mc(0).slots[0].marker, 0);
    EXPECT_EQ(view.mc(0).slots[0].download_sign, 0);
}

} // namespace
} // namespace qm
