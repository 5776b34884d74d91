// The Photos tab of the Projects window: photos added from the file dialog and dropped, refused
// files named, thumbnails made once on a worker thread (turned upright), and captions written.
#include "archive/sha256.h"
#include "photos/project_photos.h"
#include "support/archive_fixture.h"
#include "support/photos.h"
#include "support/recording_ui.h"
#include "views/photo_thumbnails.h"
#include "views/project_photos_page.h"
#include "views/projects_window.h"

#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace qm {
namespace {

struct ProjectPhotosPageTest : test::ArchiveFolder {
    test::RecordingUi ui;

    std::unique_ptr<ProjectsWindow> window(VisitArchive& archive, const QStringList& chosen) {
        ProjectsActions actions;
        actions.confirm = [](const QString&) { return true; };
        actions.choose_photos = [chosen] { return chosen; };
        actions.ui = &ui;
        return std::make_unique<ProjectsWindow>(archive, std::move(actions));
    }
    // Waits (with the event loop running) until the page has made its thumbnails.
    static bool thumbnails_made(const ProjectPhotosPage& page) {
        for (int i = 0; i < 6000 && page.making(); ++i) {
            QTest::qWait(10);
        }
        return !page.making();
    }
};

TEST_F(ProjectPhotosPageTest, AddedDroppedCaptionedAndThumbnailedOnce) {
    std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    ProjectDetails kitchen;
    kitchen.name = "Kitchen";
    ASSERT_TRUE(ProjectStore(*archive).create(kitchen));
    const std::vector<std::uint8_t> turned = test::jpeg_photo("2026:03:05 16:02:00", 6);
    test::write_file(path("a.jpg"), test::jpeg_photo("2026:03:04 09:15:27"));
    test::write_file(path("turned.jpg"), turned);
    test::write_file(path("notes.txt"), {'x'});
    {
        auto projects = window(*archive, {QString::fromStdString(path("a.jpg")),
                                          QString::fromStdString(path("notes.txt"))});
        ProjectPhotosPage& page = *projects->photosPage();
        page.addButton()->click();
        ASSERT_EQ(ui.messages.size(), 1U);
        EXPECT_NE(ui.messages[0].text.find(path("notes.txt") + " is not a photo"),
                  std::string::npos)
            << ui.messages[0].text;

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path("turned.jpg")))});
        // As a drag arrives: it enters the page, which takes it, then drops.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&page, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&page, &drop);
        ASSERT_EQ(page.photoList()->count(), 2);
        ASSERT_TRUE(thumbnails_made(page));
        const QImage thumbnail(thumbnail_path(page.thumbnailFolder(), sha256_hex(turned)));
        EXPECT_EQ(thumbnail.size(), QSize(kThumbnailSide / 2, kThumbnailSide)); // upright

        page.photoList()->setCurrentRow(1);
        page.captionEdit()->setText(QStringLiteral("Meter on the wall behind the sink"));
        Q_EMIT page.captionEdit()->editingFinished();
    }
    const std::vector<ProjectPhoto> stored = ProjectPhotos(*archive).list(1).value();
    ASSERT_EQ(stored.size(), 2U);
    EXPECT_EQ(stored[1].place.caption, "Meter on the wall behind the sink");
    EXPECT_EQ(stored[1].sha256, sha256_hex(turned));
    // Shown again, the thumbnails come from the cache: nothing is made.
    auto again = window(*archive, {});
    EXPECT_FALSE(again->photosPage()->making());
    EXPECT_EQ(again->photosPage()->photoList()->item(1)->text(),
              QStringLiteral("Meter on the wall behind the sink"));
}

} // namespace
} // namespace qm
