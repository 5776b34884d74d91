// Attaching a folder of photos (each read once, hashed, its EXIF read and its bytes written to the
// photo store, synced) beside its floor: reading the same files with read() into one buffer.
// Wall time: the store's writes and syncs are waits, not CPU.
#include "bench/paired.h"
#include "photos/project_photos.h"
#include "projects/project_store.h"
#include "support/photos.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPhotoBytes = std::size_t{4} << 20;

// `count` camera-sized JPEGs of kPhotoBytes each, all different, in `folder`.
std::vector<std::string> make_photos(const fs::path& folder, int count) {
    fs::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> bytes =
            qm::test::jpeg_photo("2026:03:04 09:15:27", 1, 4000, 3000);
        // The scan data grows to the photo's size before its EOI (no 0xFF, so no marker).
        std::vector<std::uint8_t> scan(kPhotoBytes - bytes.size());
        for (std::size_t k = 0; k < scan.size(); ++k) {
            scan[k] = static_cast<std::uint8_t>((k * 31 + static_cast<std::size_t>(i)) % 255);
        }
        bytes.insert(bytes.end() - 2, scan.begin(), scan.end());
        files.push_back(folder / ("photo" + std::to_string(i) + ".jpg"));
        const int fd = ::open(files.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
        ::close(fd);
    }
    return files;
}

void BM_AttachPhotoFolder(benchmark::State& state) {
    const fs::path dir =
        fs::temp_directory_path() / ("qm_bench_photos_" + std::to_string(::getpid()));
    const std::vector<std::string> files =
        make_photos(dir / "camera", static_cast<int>(state.range(0)));
    std::unique_ptr<qm::VisitArchive> archive;
    std::int64_t project = 0;
    std::vector<std::uint8_t> buffer(kPhotoBytes);
    qm::bench::run_paired_by(
        state, qm::bench::wall_ms,
        [&] {
            archive.reset();
            fs::remove_all(dir / "archive");
            archive = qm::open_archive((dir / "archive" / "archive.sqlite").string()).archive;
            qm::ProjectDetails details;
            details.name = "Kitchen";
            project = qm::ProjectStore(*archive).create(details).value_or(0);
        },
        [&] {
            qm::ProjectPhotos photos(*archive);
            for (const std::string& file : files) {
                const qm::Result<qm::PhotoBytes> read = qm::read_photo_file(file);
                if (!read || !photos.attach(project, *read, qm::PhotoPlace{})) {
                    state.SkipWithError("a photo was not attached");
                    return;
                }
            }
        },
        [] {},
        [&] {
            for (const std::string& file : files) {
                const int fd = ::open(file.c_str(), O_RDONLY);
                std::size_t got = 0;
                for (ssize_t n = 0;
                     (n = ::read(fd, buffer.data() + got, buffer.size() - got)) > 0;) {
                    got += static_cast<std::size_t>(n);
                }
                ::close(fd);
                benchmark::DoNotOptimize(buffer.data());
            }
        });
    archive.reset();
    fs::remove_all(dir);
}
BENCHMARK(BM_AttachPhotoFolder)->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
