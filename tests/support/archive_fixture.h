#pragma once

// The one builder of archives for tests: a temporary folder, the sample download decoded, and
// archives laid down with plain SQL where the schema is a promise.

#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace qm::test {

// What a source decodes to, on the heap (the job records are large).
struct DecodedVisit {
    std::unique_ptr<ReadingStore> store = std::make_unique<ReadingStore>();
    MeterIdentity meter;
    std::unique_ptr<JobRecords> records = std::make_unique<JobRecords>();
    Selection selection;
    DecodedSource decoded;
};

inline DecodedVisit decode_visit(const std::vector<std::uint8_t>& bytes) {
    DecodedVisit v;
    v.decoded = decode_source(bytes, *v.store, v.meter, *v.records, v.selection);
    return v;
}

inline std::vector<std::uint8_t> sample_stream() {
    return read_file(std::string(QM_TEST_DATA_DIR) + "/sample.stream");
}

// The sample stream with the model name changed: another download of the same shape.
inline std::vector<std::uint8_t> variant_stream(int n) {
    std::vector<std::uint8_t> bytes = sample_stream();
    bytes[4] = static_cast<std::uint8_t>('0' + n / 100 % 10);
    bytes[5] = static_cast<std::uint8_t>('0' + n / 10 % 10);
    bytes[6] = static_cast<std::uint8_t>('0' + n % 10);
    return bytes;
}

// Runs SQL on a database file as any other program would, creating the file.
inline void run_sql(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string text = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

// A temporary folder for one test, removed with it.
struct ArchiveFolder : ::testing::Test {
    std::filesystem::path dir;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-archive-XXXXXX");
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        // Open to every user: a permission case runs as "nobody".
        std::filesystem::permissions(dir, static_cast<std::filesystem::perms>(0755));
    }
    void TearDown() override {
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(dir);
    }
    std::string path(const std::string& name = "archive.sqlite") const { return dir / name; }

    std::unique_ptr<VisitArchive> open(const std::string& name = "archive.sqlite") {
        OpenedArchive opened = open_archive(path(name));
        EXPECT_EQ(opened.message, "");
        return std::move(opened.archive);
    }
};

} // namespace qm::test
