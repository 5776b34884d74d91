#include "archive/archive_session.h"

#include "archive/visit_loading.h"
#include "support/archive_fixture.h"
#include "support/readings.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace qm {
namespace {

using ArchiveSessionTest = test::ArchiveFolder;

// Titles confirmed after a download reach its visit; the same bytes again make that visit the
// current one without keeping them twice.
TEST_F(ArchiveSessionTest, TitlesFollowTheCurrentVisit) {
    test::RecordingUi ui;
    ArchiveSession session(path(), ui);
    test::DecodedVisit v = test::decode_visit(test::sample_stream());
    session.keep(test::sample_stream(), VisitSource::Download, *v.store, v.meter);
    const std::optional<std::int64_t> first = session.current_visit();
    ASSERT_TRUE(first);
    v.store->annotations.set_title(RecordKind::Rh, 3, "Crawl space");
    v.store->annotations.set_notes(RecordKind::Rh, 3, "Wet\r\nfan on");
    session.annotations_confirmed(*v.store, RecordKind::Rh, 3);
    session.annotations_confirmed(*v.store, RecordKind::Rh, 5); // no such job: nothing said
    session.keep(test::sample_stream(), VisitSource::Download, *v.store, v.meter);
    EXPECT_EQ(session.current_visit(), first);
    const VisitSummary visit = session.archive()->find_visit(*first).value().value();
    EXPECT_EQ(visit.jobs.back().title, "Crawl space");
    EXPECT_EQ(visit.jobs.back().notes, "Wet\r\nfan on");
    EXPECT_EQ(session.archive()->count_visits("").value(), 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ArchiveSessionTest, UnusableArchiveIsSaidOnceARun) {
    test::RecordingUi ui;
    std::filesystem::create_directory(path("folder"));
    ArchiveSession session(path("folder"), ui);
    test::DecodedVisit v = test::decode_visit(test::sample_stream());
    for (int i = 0; i < 3; ++i) {
        session.keep(test::sample_stream(), VisitSource::Download, *v.store, v.meter);
    }
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.messages[0].text, archive_unusable_message(path("folder"), "Is a directory"));
    EXPECT_FALSE(session.current_visit());
}

// A disk that fills while a visit is written: the visit is not kept, the message says why and
// the archive stays sound.
TEST_F(ArchiveSessionTest, FullDiskSaysTheVisitWasNotKept) {
    if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root; the full-disk case was not run";
    }
    test::RecordingUi ui;
    {
        ArchiveSession session(path(), ui);
        auto store = std::make_unique<ReadingStore>();
        for (int i = 0; i < 20000; ++i) {
            store->all_readings.push_back(test::dated_reading(Scan, 1, i % 64, 0, i, i % 60));
        }
        session.keep(test::sample_stream(), VisitSource::Download, *store, MeterIdentity{});
        EXPECT_FALSE(session.current_visit());
        ASSERT_EQ(ui.messages.size(), 1U);
        EXPECT_EQ(ui.messages[0].text, "The visit was not kept in the archive " + path() +
                                           ": database or disk is full.");
        EXPECT_EQ(session.archive()->count_visits("").value(), 0);
        EXPECT_TRUE(session.archive()->check().value().ok());
    }
    ::umount2(dir.c_str(), MNT_DETACH);
}

TEST_F(ArchiveSessionTest, ExportWritesOneFilePerJobAndAsksBeforeReplacing) {
    const std::unique_ptr<VisitArchive> archive = open();
    const AddVisitResult added = archive_source(*archive, test::sample_stream(), received_now());
    archive->set_annotations(added.visit_id, RecordKind::Mc, 2, "Stairs", "");
    test::write_file(path("Job1-ID007.qmk"), {1, 2, 3});
    std::vector<std::string> asked;
    VisitExport exported =
        export_visit(*archive, added.visit_id, dir.string(), [&](const std::string& p) {
            asked.push_back(p);
            return false;
        });
    EXPECT_TRUE(exported.ok);
    EXPECT_EQ(asked, std::vector<std::string>{path("Job1-ID007.qmk")});
    EXPECT_EQ(exported.written,
              (std::vector<std::string>{path("Job2-ID042.qmk"), path("Job3-ID115.qmk")}));
    EXPECT_EQ(test::read_file(path("Job1-ID007.qmk")), (std::vector<std::uint8_t>{1, 2, 3}));
    test::DecodedVisit job2 = test::decode_visit(test::read_file(path("Job2-ID042.qmk")));
    EXPECT_EQ(job2.store->annotations.title(RecordKind::Mc, 2), "Stairs");
    exported = export_visit(*archive, added.visit_id, dir.string(), [](auto&) { return true; });
    EXPECT_EQ(exported.written.size(), 3U);
    EXPECT_FALSE(export_visit(*archive, 99, dir.string(), [](auto&) { return true; }).ok);
}

} // namespace
} // namespace qm
