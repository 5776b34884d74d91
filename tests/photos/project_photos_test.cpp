// Photos of a project: what their EXIF says, stored once by SHA-256 beside the archive, refused
// with their name when they are no photos, and an archive of the version before photos.
#include "photos/project_photos.h"

#include "archive/archive_schema.h"
#include "archive/sha256.h"
#include "projects/project_store.h"
#include "support/archive_fixture.h"
#include "support/photos.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct ProjectPhotosTest : test::ArchiveFolder {
    std::unique_ptr<VisitArchive> archive;

    // An archive of version 4 with two projects, laid down by hand: opening it adds the photos.
    void SetUp() override {
        test::ArchiveFolder::SetUp();
        std::string sql;
        for (std::size_t i = 0; i < 4; ++i) {
            sql += kArchiveMigrations[i];
        }
        test::run_sql(path(), sql + "INSERT INTO projects (id, name) VALUES (3, 'Kitchen'), "
                                    "(4, 'Hall'); PRAGMA user_version = 4;");
        archive = open();
        ASSERT_TRUE(archive);
    }
    std::string file(const std::string& name, const Bytes& bytes) {
        test::write_file(path(name), bytes);
        return path(name);
    }
    Result<PhotoAttached> attach(std::int64_t project, const std::string& name,
                                 const PhotoPlace& place = {}) {
        const Result<PhotoBytes> read = read_photo_file(path(name));
        return read ? ProjectPhotos(*archive).attach(project, *read, place)
                    : Result<PhotoAttached>(failure(read.error()));
    }
};

TEST_F(ProjectPhotosTest, ExifTimeAndOrientationFromTheBytes) {
    const struct {
        Bytes bytes;
        std::optional<std::string> taken_at;
        int orientation;
    } cases[] = {
        {test::jpeg_photo("2026:03:04 09:15:27"), "2026-03-04T09:15:27", 1},
        {test::jpeg_photo("2026:03:05 16:02:00", 6), "2026-03-05T16:02:00", 6},
        {test::jpeg_photo("    :  :     :  :  ", 3), std::nullopt, 3}, // clock never set
        {test::jpeg_photo(), std::nullopt, 1},
    };
    for (const auto& c : cases) {
        const Result<PhotoFacts> facts = read_photo_facts(c.bytes);
        ASSERT_TRUE(facts) << facts.error();
        EXPECT_EQ(facts->format, PhotoFormat::Jpeg);
        EXPECT_EQ(facts->taken_at, c.taken_at);
        EXPECT_EQ(facts->orientation, c.orientation);
        EXPECT_EQ(facts->width, 16);
        EXPECT_EQ(facts->height, 8);
    }
}

TEST_F(ProjectPhotosTest, SamePhotoTwiceIsStoredOnce) {
    const Bytes photo = test::jpeg_photo("2026:03:04 09:15:27", 6);
    file("a.jpg", photo);
    file("copy.jpg", photo);
    const PhotoPlace place{"KIT,W/Plaster", "2026-03-04", std::nullopt, "Wall behind sink"};
    EXPECT_EQ(attach(3, "a.jpg", place).value(), PhotoAttached::Attached);
    EXPECT_EQ(attach(3, "copy.jpg").value(), PhotoAttached::AlreadyAttached);
    EXPECT_EQ(attach(4, "copy.jpg").value(), PhotoAttached::Attached);

    ProjectPhotos photos(*archive);
    const std::string sha = sha256_hex(photo);
    const fs::path folder = path("photos");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700U);
    ASSERT_EQ(::stat((folder / sha).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
    EXPECT_EQ(test::read_file(folder / sha), photo); // the original bytes, untouched
    const std::vector<ProjectPhoto> listed = photos.list(3).value();
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].place, place);
    EXPECT_EQ(listed[0].facts.taken_at, "2026-03-04T09:15:27");
    EXPECT_EQ(listed[0].facts.orientation, 6);
    EXPECT_EQ(photos.resolve(3, short_sha256(sha)).value(), sha);
    EXPECT_FALSE(photos.resolve(3, "0000"));

    // The bytes stay while another project holds the photo.
    ASSERT_TRUE(photos.detach(3, sha));
    EXPECT_TRUE(fs::exists(folder / sha));
    ASSERT_TRUE(photos.detach(4, sha));
    EXPECT_FALSE(fs::exists(folder / sha));
    EXPECT_FALSE(photos.detach(4, sha));
    // A deleted project's photos go when no other project holds them.
    EXPECT_EQ(attach(4, "a.jpg").value(), PhotoAttached::Attached);
    ASSERT_TRUE(ProjectStore(*archive).remove(4));
    ASSERT_TRUE(photos.prune());
    EXPECT_FALSE(fs::exists(folder / sha));
}

TEST_F(ProjectPhotosTest, NoPhotoIsRefusedWithItsName) {
    const Bytes whole = test::jpeg_photo("2026:03:04 09:15:27");
    const struct {
        const char* name;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"notes.txt", Bytes{'d', 'r', 'y', '\n'}, "not a photo"},
        {"empty.jpg", Bytes{}, "not a photo"},
        {"cut.jpg", Bytes(whole.begin(), whole.begin() + 40), "damaged"},
        {"no-frame.jpg", Bytes{0xff, 0xd8, 0xff, 0xd9}, "damaged"},
    };
    for (const auto& c : cases) {
        const Result<PhotoAttached> attached = (file(c.name, c.bytes), attach(3, c.name));
        ASSERT_FALSE(attached) << c.name;
        EXPECT_NE(attached.error().find(path(c.name)), std::string::npos) << attached.error();
        EXPECT_NE(attached.error().find(c.reason), std::string::npos) << attached.error();
    }
    EXPECT_TRUE(ProjectPhotos(*archive).list(3).value().empty());
    EXPECT_FALSE(fs::exists(path("photos")));
}

TEST_F(ProjectPhotosTest, UnreadableFolderIsNamed) {
    fs::create_directory(path("camera"));
    file("camera/a.jpg", test::jpeg_photo());
    fs::permissions(path("camera"), fs::perms::none);
    const std::string folder = path("camera");
    EXPECT_EQ(test::run_unprivileged([&] {
                  if (::access(folder.c_str(), R_OK) == 0) {
                      return 0; // a user whom permission bits do not bind
                  }
                  const auto listed = files_in_folder(folder);
                  return listed                                                          ? 1
                         : listed.error().find(folder) == std::string::npos              ? 2
                         : listed.error().find("Permission denied") == std::string::npos ? 3
                                                                                         : 0;
              }),
              0);
}

} // namespace
} // namespace qm
