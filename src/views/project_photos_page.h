#pragma once

// The Photos tab of the Projects window: the project's photos as thumbnails (made once on a
// worker thread, with progress and Cancel, and kept in the cache folder), a viewer on
// double-click, the caption of the selected photo, Add photos..., Remove photo and files dropped
// on the page.

#include "photos/project_photos.h"
#include "views/projects_window.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QThread;

namespace qm {

class ProjectPhotosPage : public QWidget {
public:
    explicit ProjectPhotosPage(ProjectsWindow& window);
    ~ProjectPhotosPage() override;
    void show(const ProjectView& view);
    // Attaches the files to the project; the files that are refused are said together.
    void addFiles(const QStringList& files);

    QListWidget* photoList() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QLineEdit* captionEdit() const { return caption_; }
    QPushButton* cancelButton() const { return cancel_; }
    // Whether thumbnails are being made.
    bool making() const { return worker_ != nullptr; }
    const QString& thumbnailFolder() const { return thumbnails_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Pending = std::vector<std::pair<std::string, std::string>>; // SHA-256, file
    void fill();
    QIcon iconOf(const ProjectPhoto& photo, Pending& pending);
    void startThumbnails(Pending pending);
    void thumbnailMade(const std::string& sha256, const QImage& image);
    void thumbnailsDone();
    void selectionChanged();
    void captionEdited();
    void removeSelected();
    void openViewer(QListWidgetItem* item);
    const ProjectPhoto* selected() const;

    ProjectsWindow& window_;
    ProjectPhotos photos_;
    QString thumbnails_;
    std::int64_t project_ = 0;
    std::vector<ProjectPhoto> shown_;
    QHash<QString, QIcon> icons_;
    QListWidget* list_ = nullptr;
    QLineEdit* caption_ = nullptr;
    QLabel* facts_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QLabel* making_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_;
    bool cancelled_ = false;
};

} // namespace qm
