// The Projects window's photos: thumbnails, a viewer, captions, and photos added from files.
#include "views/project_photos_page.h"

#include "report/project_report.h"
#include "report/report_photos.h"
#include "views/photo_thumbnails.h"

#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {
namespace {

constexpr int kShaRole = Qt::UserRole;

// The grey square a photo shows until its thumbnail is made (or when none can be).
QIcon placeholder_icon() {
    QImage image(kThumbnailSide, kThumbnailSide * 3 / 4, QImage::Format_RGB32);
    image.fill(QColor(0xdd, 0xdd, 0xdd));
    return QIcon(QPixmap::fromImage(image));
}

QString item_text(const ProjectPhoto& photo) {
    const QString caption = QString::fromStdString(photo.place.caption);
    return caption.isEmpty() ? QString::fromStdString(short_sha256(photo.sha256)) : caption;
}

QStringList local_files(const QMimeData* mime) {
    QStringList files;
    if (mime != nullptr && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                files.push_back(url.toLocalFile());
            }
        }
    }
    return files;
}

} // namespace

ProjectPhotosPage::ProjectPhotosPage(ProjectsWindow& window)
    : window_(window), photos_(window.archive()), thumbnails_(default_thumbnail_folder()) {
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("photoList"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setUniformItemSizes(true);
    list_->setWordWrap(true);
    // Files dropped on the list are the page's to attach.
    list_->setAcceptDrops(false);
    list_->viewport()->setAcceptDrops(false);
    setAcceptDrops(true);
    caption_ = new QLineEdit(this);
    auto* captionLabel = new QLabel(QStringLiteral("&Caption:"), this);
    captionLabel->setBuddy(caption_);
    facts_ = new QLabel(this);
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    add_ = new QPushButton(QStringLiteral("&Add photos\u2026"), this);
    remove_ = new QPushButton(QStringLiteral("&Remove photo"), this);
    making_ = new QLabel(QStringLiteral("Making thumbnails\u2026"), this);
    progress_ = new QProgressBar(this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {add_, remove_, cancel_}) {
        b->setAutoDefault(true);
    }
    auto* help = new QLabel(QStringLiteral("Drop photos (JPEG, PNG, HEIC) here to attach them. "
                                           "Double-click a photo to see it."),
                            this);
    help->setWordWrap(true);

    auto* fields = new QGridLayout;
    fields->addWidget(captionLabel, 0, 0);
    fields->addWidget(caption_, 0, 1);
    fields->addWidget(facts_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    buttons->addWidget(making_);
    buttons->addWidget(progress_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(fields);
    layout->addWidget(help);
    layout->addLayout(buttons);
    for (QWidget* w : {static_cast<QWidget*>(making_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(cancel_)}) {
        w->setVisible(false);
    }

    connect(add_, &QPushButton::clicked, this, [this] {
        const auto& choose = window_.actions().choose_photos;
        addFiles(choose ? choose()
                        : QFileDialog::getOpenFileNames(
                              this, QStringLiteral("Add photos"), QString(),
                              QStringLiteral("Photos (*.jpg *.jpeg *.png *.heic *.heif "
                                             "*.JPG *.JPEG *.PNG *.HEIC *.HEIF);;All files (*)")));
    });
    connect(remove_, &QPushButton::clicked, this, &ProjectPhotosPage::removeSelected);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        if (stop_) {
            *stop_ = true;
        }
    });
    connect(list_, &QListWidget::currentRowChanged, this, &ProjectPhotosPage::selectionChanged);
    connect(list_, &QListWidget::itemActivated, this, &ProjectPhotosPage::openViewer);
    connect(caption_, &QLineEdit::editingFinished, this, &ProjectPhotosPage::captionEdited);
}

ProjectPhotosPage::~ProjectPhotosPage() {
    if (worker_ != nullptr) {
        *stop_ = true;
        worker_->wait();
        delete worker_;
    }
}

void ProjectPhotosPage::show(const ProjectView& view) {
    if (view.id != project_) {
        cancelled_ = false; // another project's thumbnails are made again
    }
    project_ = view.id;
    Result<std::vector<ProjectPhoto>> listed =
        view.id != 0 ? photos_.list(view.id)
                     : Result<std::vector<ProjectPhoto>>(std::vector<ProjectPhoto>{});
    if (!listed) {
        facts_->setText(QString::fromStdString(listed.error()));
        shown_.clear();
    } else {
        shown_ = std::move(listed).value();
    }
    fill();
}

void ProjectPhotosPage::fill() {
    const QString current = list_->currentItem() != nullptr
                                ? list_->currentItem()->data(kShaRole).toString()
                                : QString();
    Pending pending;
    list_->clear();
    for (const ProjectPhoto& p : shown_) {
        auto* item = new QListWidgetItem(iconOf(p, pending), item_text(p), list_);
        item->setData(kShaRole, QString::fromStdString(p.sha256));
        item->setToolTip(QString::fromStdString(p.sha256));
        if (item->data(kShaRole).toString() == current) {
            list_->setCurrentItem(item);
        }
    }
    const bool editable = window_.editable() && project_ != 0;
    add_->setEnabled(editable);
    selectionChanged();
    if (!pending.empty() && worker_ == nullptr && !cancelled_) {
        startThumbnails(std::move(pending));
    }
}

QIcon ProjectPhotosPage::iconOf(const ProjectPhoto& photo, Pending& pending) {
    const QString key = QString::fromStdString(photo.sha256);
    if (const auto at = icons_.constFind(key); at != icons_.constEnd()) {
        return *at;
    }
    const QImage cached(thumbnail_path(thumbnails_, photo.sha256));
    if (!cached.isNull()) {
        return icons_[key] = QIcon(QPixmap::fromImage(cached));
    }
    pending.emplace_back(photo.sha256, photos_.files().path_of(photo.sha256));
    return placeholder_icon();
}

void ProjectPhotosPage::startThumbnails(Pending pending) {
    stop_ = std::make_shared<std::atomic<bool>>(false);
    progress_->setRange(0, static_cast<int>(pending.size()));
    progress_->setValue(0);
    for (QWidget* w : {static_cast<QWidget*>(making_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(cancel_)}) {
        w->setVisible(true);
    }
    // The worker owns copies of what it reads; what it makes comes back as queued calls, which
    // Qt drops if the page is gone (the page waits for the worker before it goes).
    worker_ = QThread::create([this, stop = stop_, folder = thumbnails_, pending] {
        for (const auto& [sha, path] : pending) {
            if (*stop) {
                return;
            }
            QImage image = make_thumbnail(path);
            if (!image.isNull()) {
                save_thumbnail(folder, sha, image);
            }
            QMetaObject::invokeMethod(
                this, [this, sha = sha, image] { thumbnailMade(sha, image); },
                Qt::QueuedConnection);
        }
    });
    connect(worker_, &QThread::finished, this, &ProjectPhotosPage::thumbnailsDone);
    worker_->start(QThread::LowPriority);
}

void ProjectPhotosPage::thumbnailMade(const std::string& sha256, const QImage& image) {
    const QString key = QString::fromStdString(sha256);
    // A photo that cannot be read keeps the placeholder and is not tried again.
    const QIcon icon = image.isNull() ? placeholder_icon() : QIcon(QPixmap::fromImage(image));
    icons_[key] = icon;
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(kShaRole).toString() == key) {
            list_->item(i)->setIcon(icon);
        }
    }
    progress_->setValue(progress_->value() + 1);
}

void ProjectPhotosPage::thumbnailsDone() {
    worker_->deleteLater();
    worker_ = nullptr;
    for (QWidget* w : {static_cast<QWidget*>(making_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(cancel_)}) {
        w->setVisible(false);
    }
    // Photos added while it ran get theirs now.
    if (!cancelled_) {
        fill();
    }
}

const ProjectPhoto* ProjectPhotosPage::selected() const {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        return nullptr;
    }
    const std::string sha = item->data(kShaRole).toString().toStdString();
    for (const ProjectPhoto& p : shown_) {
        if (p.sha256 == sha) {
            return &p;
        }
    }
    return nullptr;
}

void ProjectPhotosPage::selectionChanged() {
    const ProjectPhoto* photo = selected();
    const bool editable = window_.editable() && photo != nullptr;
    caption_->setEnabled(editable);
    remove_->setEnabled(editable);
    caption_->setText(photo != nullptr ? QString::fromStdString(photo->place.caption) : QString());
    if (photo != nullptr) {
        ReportPhoto shown;
        shown.sha256 = photo->sha256;
        shown.point = photo->place.point.value_or("");
        shown.day = photo->place.day.value_or("");
        shown.taken_at = photo->facts.taken_at.value_or("");
        facts_->setText(QString::fromStdString(photo_facts_text(shown)));
    } else {
        facts_->clear();
    }
}

void ProjectPhotosPage::captionEdited() {
    const ProjectPhoto* photo = selected();
    const std::string caption = caption_->text().toStdString();
    if (photo == nullptr || photo->place.caption == caption) {
        return;
    }
    if (const Status set = photos_.set_caption(project_, photo->sha256, caption); !set) {
        window_.refuse("The caption was not written to the archive: " + set.error());
        return;
    }
    window_.reload();
}

void ProjectPhotosPage::removeSelected() {
    const ProjectPhoto* photo = selected();
    if (photo == nullptr ||
        !window_.actions().confirm(
            QStringLiteral("Remove the photo %1 from the project?").arg(item_text(*photo)))) {
        return;
    }
    if (const Status removed = photos_.detach(project_, photo->sha256); !removed) {
        window_.refuse("The photo was not removed: " + removed.error());
        return;
    }
    window_.reload();
}

void ProjectPhotosPage::addFiles(const QStringList& files) {
    if (project_ == 0 || files.isEmpty()) {
        return;
    }
    std::string refused;
    for (const QString& file : files) {
        const Result<PhotoBytes> read = read_photo_file(file.toStdString());
        const Result<PhotoAttached> attached = read ? photos_.attach(project_, *read, PhotoPlace{})
                                                    : Result<PhotoAttached>(failure(read.error()));
        if (!attached) {
            refused += "\n" + attached.error();
        }
    }
    if (!refused.empty()) {
        window_.refuse("Some files were not attached:" + refused);
        return;
    }
    window_.reload();
}

void ProjectPhotosPage::dragEnterEvent(QDragEnterEvent* event) {
    if (window_.editable() && project_ != 0 && !local_files(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void ProjectPhotosPage::dropEvent(QDropEvent* event) {
    const QStringList files = local_files(event->mimeData());
    if (!files.isEmpty()) {
        event->acceptProposedAction();
        addFiles(files);
    }
}

void ProjectPhotosPage::openViewer(QListWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const std::string sha = item->data(kShaRole).toString().toStdString();
    QImageReader reader(QString::fromStdString(photos_.files().path_of(sha)));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    auto* viewer = new QDialog(this);
    viewer->setObjectName(QStringLiteral("photoViewer"));
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(item->text());
    auto* picture = new QLabel(viewer);
    picture->setAlignment(Qt::AlignCenter);
    const QSize room = screen()->availableSize() * 0.8;
    if (image.isNull()) {
        picture->setText(QStringLiteral("The photo cannot be shown: ") + reader.errorString());
    } else {
        picture->setPixmap(QPixmap::fromImage(
            image.size().width() > room.width() || image.size().height() > room.height()
                ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                : image));
    }
    auto* layout = new QVBoxLayout(viewer);
    layout->addWidget(picture);
    viewer->show();
}

} // namespace qm
