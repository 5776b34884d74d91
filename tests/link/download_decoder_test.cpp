#include "link/download_decoder.h"

#include "store/job_index.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Header: "ABC", terminator, job flags, five job IDs (job 1 = 123).
Bytes header(std::uint8_t flags = 0x02) {
    return {'A', 'B', 'C', 0x00, flags, 0x23, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
}

// Kind 1, job 1, position 0, 10:30 (24-hour), 15/06/09, RH 45.2, 72.5 F, one unused byte.
const Bytes kRhRecord = {0x01, 0x01, 0x00, 0x30, 0x10, 0x15, 0x06,
                         0x09, 0x04, 0x52, 0x07, 0x25, 0x00};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

struct Decoder : ::testing::Test {
    ReadingStore store;
    MeterIdentity meter;
    JobRecords records;
    Selection selection;
    DecodeReport decode(const Bytes& bytes) {
        return decode_download(bytes, store, meter, records, selection);
    }
};

TEST_F(Decoder, RhRecordWithNamedAreas) {
    selection.current_job_index = 3;
    records.mc(2).slots[0].value = 2.0;
    store.annotations.set_notes(RecordKind::Mc, 1, "x");
    const DecodeReport report = decode(join({header(), kRhRecord}));
    EXPECT_EQ(meter.model(), "ABC");
    EXPECT_EQ(store.job_ids[0], 123);
    ASSERT_EQ(store.all_readings.size(), 1u);
    const Reading& r = store.all_readings[0];
    EXPECT_EQ(r.kind, RhTemperature);
    EXPECT_EQ(r.location, 0);
    EXPECT_EQ(r.sub_location, 0);
    EXPECT_EQ(r.job, 1);
    EXPECT_EQ(r.minute, 30);
    EXPECT_EQ(r.hour_code, 0x10);
    EXPECT_EQ(r.day, 15);
    EXPECT_EQ(r.month, 6);
    EXPECT_EQ(r.year, 9);
    EXPECT_DOUBLE_EQ(r.rh, 45.2);
    EXPECT_DOUBLE_EQ(r.temperature, 72.5);
    EXPECT_EQ(store.no_data, 0);
    EXPECT_FALSE(report.no_data);
    EXPECT_EQ(store.rh_job_count, 1);
    // Post-download step: records zeroed, first MC slot seeded, current job 0; the titles and
    // notes went with the old readings.
    EXPECT_EQ(selection.current_job_index, 0);
    EXPECT_EQ(records.mc(2).slots[0].value, 0.0);
    EXPECT_TRUE(store.annotations.empty());
    EXPECT_EQ(records.mc(0).slots[0].marker, 1);
    EXPECT_EQ(records.mc(0).slots[0].download_sign, 1);
    EXPECT_EQ(records.mc(0).slots[0].species, 1);
    EXPECT_DOUBLE_EQ(records.mc(0).slots[0].value, 1.0);
    EXPECT_EQ(records.mc(0).slots[1].marker, 0);
    EXPECT_EQ(records.mc(1).slots[0].marker, 0);
}

TEST_F(Decoder, ClearJobFlagMeansNumberedLocations) {
    decode(join({header(0x00), kRhRecord}));
    ASSERT_EQ(store.all_readings.size(), 1u);
    EXPECT_EQ(store.all_readings[0].location, 32);
}

TEST_F(Decoder, PositionCodeGivesAreaAndSubLocation) {
    Bytes rec = kRhRecord;
    rec[2] = 3 * 7 + 2;
    decode(join({header(0xFF), rec}));
    ASSERT_EQ(store.all_readings.size(), 1u);
    EXPECT_EQ(store.all_readings[0].location, 7);
    EXPECT_EQ(store.all_readings[0].sub_location, 2);
}

TEST_F(Decoder, PinKindsCarryTemperatureAndFullScale) {
    const Bytes pin_t = {0x00, 0x31, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0x12, 0x30, 0x70, 0x00};
    const Bytes pin = {0x02, 0x01, 0x03, 0x00, 0x09, 0x01, 0x01, 0x10, 0xB1, 0x00};
    decode(join({header(), pin_t, pin}));
    ASSERT_EQ(store.all_readings.size(), 2u);
    const Reading& a = store.all_readings[0];
    EXPECT_DOUBLE_EQ(a.mc, 12.3);
    EXPECT_EQ(a.pin_temperature, 70);
    EXPECT_EQ(a.material, 3);
    const Reading& b = store.all_readings[1];
    EXPECT_EQ(b.kind, Pin);
    EXPECT_DOUBLE_EQ(b.mc, 99.9); // tenths count 1110
    EXPECT_EQ(b.pin_temperature, 70);

    // Hundreds digit of the temperature from byte 9's low nibble.
    const Bytes hot = {0x00, 0x01, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0x00, 0x01, 0x05, 0x00};
    decode(join({header(), hot}));
    EXPECT_EQ(store.all_readings[0].pin_temperature, 105);
}

// A download's readings follow from its bytes alone: a pin reading before any temperature of
// its own download takes 0, whatever the download before it held.
TEST_F(Decoder, PinBeforeAnyTemperatureTakesZero) {
    const Bytes pin_t = {0x00, 0x01, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0x12, 0x30, 0x71, 0x00};
    const Bytes pin = {0x02, 0x01, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0x45, 0x60};
    decode(join({header(), pin_t}));
    decode(join({header(), pin}));
    EXPECT_EQ(store.all_readings[0].pin_temperature, 0);
    EXPECT_DOUBLE_EQ(store.all_readings[0].mc, 45.6);
}

TEST_F(Decoder, ScanAndUnknownKinds) {
    const Bytes scan = {0x03, 0x01, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0xFF, 0x45, 0x60, 0xFF};
    const Bytes other = {0x05, 0x02, 0x00, 0x00, 0x09, 0x02, 0x01, 0x10, 0xFF};
    const DecodeReport report = decode(join({header(), scan, other, kRhRecord}));
    EXPECT_EQ(report.records_decoded, 3u);
    ASSERT_EQ(store.all_readings.size(), 3u);
    EXPECT_DOUBLE_EQ(store.all_readings[0].mc, 456);
    // The kind-5 record is stored and counts as a moisture reading; it carries the scan value.
    const Reading& k5 = store.all_readings[2];
    EXPECT_EQ(k5.kind, 5);
    EXPECT_EQ(k5.day, 2);
    EXPECT_DOUBLE_EQ(k5.mc, 456);
    EXPECT_EQ(store.mc_job_count, 2);
}

TEST_F(Decoder, RhRecordKeepsThePreviousPinFields) {
    const Bytes pin_t = {0x00, 0x01, 0x00, 0x00, 0x09, 0x01, 0x01, 0x10, 0x12, 0x30, 0x70, 0x00};
    decode(join({header(), pin_t, kRhRecord}));
    const Reading& rh = store.all_readings[1];
    EXPECT_EQ(rh.kind, RhTemperature);
    EXPECT_DOUBLE_EQ(rh.mc, 12.3);
    EXPECT_EQ(rh.pin_temperature, 70);
    EXPECT_EQ(rh.material, 0);

    // A reading the data model has no place for (job 6) still passes its fields on.
    Bytes dropped = pin_t;
    dropped[1] = 0x06;
    dropped[8] = 0x45;
    decode(join({header(), dropped, kRhRecord}));
    ASSERT_EQ(store.all_readings.size(), 1u);
    EXPECT_DOUBLE_EQ(store.all_readings[0].mc, 45.3);
    EXPECT_EQ(store.all_readings[0].pin_temperature, 70);
}

TEST_F(Decoder, ModelRules) {
    Bytes alfa = {'T', 'R', 'K', ' ', 'A', 'L', 'F', 'A', 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    decode(join({alfa, kRhRecord}));
    EXPECT_EQ(material_name(meter.active_materials, 0), "Plaster Board");
    Bytes scan = {'V', 'K', 'M', '2', ' ', 'S', 'C', 'A', 'N', 0x00, 0x02,
                  0,   0,   0,   0,   0,   0,   0,   0,   0,   0};
    decode(join({scan, kRhRecord}));
    EXPECT_EQ(meter.not_scanner, 0);

    // Any other name: the sign of its byte comparison with "VKM2 SCAN", as unsigned bytes.
    const std::pair<Bytes, std::int32_t> names[] = {
        {{'T', 'R', 'K', ' ', 'A', 'L', 'F', 'A'}, -1},
        {{'V', 'K', 'M', '2', ' ', 'S', 'C', 'A', 'N', 'X'}, 1},
        {{'Z', 'Z'}, 1},
        {{}, -1},
        {{'V', 'K', 'M', '2'}, -1},
        {{'V', 'K', 0xC4}, 1},
    };
    for (const auto& [name, expected] : names) {
        decode(join({name, {0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kRhRecord}));
        EXPECT_EQ(meter.not_scanner, expected) << std::string(name.begin(), name.end());
    }

    Bytes long_name(25, 'M');
    const DecodeReport report = decode(join({long_name, header()}));
    EXPECT_TRUE(report.model_name_cut);
    EXPECT_EQ(meter.model(), std::string(19, 'M'));
}

TEST_F(Decoder, JobIdHundredsFromTheSecondByteLowNibble) {
    Bytes h = header();
    h[5 + 8] = 0x99; // job 5: 99
    h[6 + 8] = 0xF9; // high nibble ignored, hundreds 9
    decode(join({h, kRhRecord}));
    EXPECT_EQ(store.job_ids[4], 999);
}

TEST_F(Decoder, LastRecordWithDayZeroEmptiesTheStream) {
    Bytes undated = kRhRecord;
    undated[5] = 0x00;
    store.rh_job_count = 4; // lists of an earlier download stay as they were
    const DecodeReport report = decode(join({header(), kRhRecord, undated}));
    EXPECT_TRUE(report.last_day_zero);
    EXPECT_TRUE(store.all_readings.empty());
    EXPECT_EQ(store.no_data, 1);
    EXPECT_EQ(store.rh_job_count, 4);
    EXPECT_EQ(records.mc(0).slots[0].marker, 0);
}

TEST_F(Decoder, TruncatedStreamsNeverReadPastTheEnd) {
    const Bytes full = join({header(), kRhRecord, kRhRecord});
    for (std::size_t n = 0; n < full.size(); ++n) {
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        cut.shrink_to_fit(); // let the sanitizer see any read past the end
        const DecodeReport report = decode(cut);
        const std::size_t header_size = header().size();
        const std::size_t expected = n < header_size ? 0 : (n - header_size) / kRhRecord.size();
        EXPECT_EQ(store.all_readings.size(), expected) << n;
        EXPECT_EQ(report.no_data, expected == 0) << n;
    }
    EXPECT_EQ(decode({}).no_data, true);
    EXPECT_EQ(meter.model(), "");
}

TEST_F(Decoder, DropsReadingsOutsideTheDataModel) {
    Bytes bad_job = kRhRecord;
    bad_job[1] = 0x06;
    Bytes bad_location = kRhRecord;
    bad_location[2] = 3 * 32; // numbered: 32 + 32 = 64
    const DecodeReport report = decode(join({header(0x00), bad_job, bad_location, kRhRecord}));
    EXPECT_EQ(report.dropped_bad_job, 1u);
    EXPECT_EQ(report.dropped_bad_location, 1u);
    EXPECT_EQ(store.all_readings.size(), 1u);

    const DecodeReport none = decode(join({header(0x00), bad_job}));
    EXPECT_TRUE(none.no_data);
    EXPECT_EQ(store.no_data, 1);
}

// Records of every kind over jobs 1..3 and many positions; `seed` varies them.
Bytes mixed_stream(int records, int seed) {
    Bytes out = header(0x0A);
    for (int i = 0; i < records; ++i) {
        Bytes r = kRhRecord;
        r[0] = static_cast<std::uint8_t>((i * seed) % 5); // kinds 0..3 and an unknown one
        r.resize(record_length(r[0]), 0x00);
        r[1] = static_cast<std::uint8_t>(0x30 | (1 + (i + seed) % 3));
        r[2] = static_cast<std::uint8_t>((i * 7 + seed) % 96);
        r[8] = static_cast<std::uint8_t>(i % 100);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

// A download into a store that holds a larger one leaves nothing of it, and its job lists are
// those rebuild_job_lists finds.
TEST_F(Decoder, LaterDownloadReplacesEveryReadingOfTheLast) {
    const Bytes small = mixed_stream(300, 3);
    decode(small);
    const std::vector<Reading> expected = store.all_readings;
    ReadingStore rebuilt = store;
    rebuild_job_lists(rebuilt);

    decode(mixed_stream(1000, 7));
    decode(small);
    EXPECT_EQ(store.all_readings, expected);
    EXPECT_EQ(store.mc_jobs, rebuilt.mc_jobs);
    EXPECT_EQ(store.rh_jobs, rebuilt.rh_jobs);
    EXPECT_EQ(store.mc_job_count, 3);
    EXPECT_EQ(store.rh_job_count, rebuilt.rh_job_count);
}

} // namespace
} // namespace qm
