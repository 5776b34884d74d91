#include "views/history_model.h"

#include "ui/qt_text.h"

#include <QColor>

namespace qm {

HistoryModel::HistoryModel(VisitArchive& archive, QObject* parent)
    : QAbstractTableModel(parent), archive_(archive) {
    reload();
}

void HistoryModel::setFilter(const QString& filter) {
    filter_ = filter.trimmed().toStdString();
    reload();
}

void HistoryModel::reload() {
    beginResetModel();
    rows_.clear();
    const Result<std::int64_t> total = archive_.count_visits(filter_);
    Result<std::map<std::string, VisitEvidence>> evidence = all_visit_evidence(archive_);
    total_ = total && evidence ? *total : 0;
    error_ = !total ? total.error() : evidence.error();
    evidence_ = evidence ? std::move(*evidence) : std::map<std::string, VisitEvidence>{};
    endResetModel();
    fetchMore({}); // the first page at once: the newest visits are there to select
}

std::int64_t HistoryModel::visitId(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size())
               ? rows_[static_cast<std::size_t>(row)].id
               : 0;
}

const VisitSummary* HistoryModel::visit(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)]
                                                            : nullptr;
}

VisitEvidence HistoryModel::evidence(int row) const {
    const VisitSummary* v = visit(row);
    const auto said = v != nullptr ? evidence_.find(v->sha256) : evidence_.end();
    return said == evidence_.end() ? VisitEvidence{} : said->second;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString jobs_text(const VisitSummary& visit) {
    QStringList jobs;
    for (const ArchivedJob& job : visit.jobs) {
        QString text =
            QStringLiteral("%1 %2 (ID %3)")
                .arg(job.kind == RecordKind::Mc ? QStringLiteral("MC") : QStringLiteral("RH/T"))
                .arg(job.number)
                .arg(job.id, 3, 10, QLatin1Char('0'));
        if (!job.title.empty()) {
            text += QLatin1Char(' ') + from_cp1252(job.title);
        }
        jobs << text;
    }
    return jobs.join(QStringLiteral("; "));
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
        return {};
    }
    const VisitSummary& v = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() == Readings) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    const VisitEvidence said = evidence(index.row());
    const bool failed = said.check && !check_passed(*said.check);
    if (role == Qt::ForegroundRole && index.column() == Check && failed) {
        return QColor(Qt::red);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case Received: {
        // The time as it was where the visit was received: "2026-12-07 20:46".
        std::string when = iso8601(v.received).substr(0, 16);
        when[10] = ' ';
        return QString::fromStdString(when);
    }
    case Meter:
        return from_cp1252(v.meter);
    case Technician:
        return said.meter_name.empty()
                   ? QString::fromStdString(said.technician)
                   : QString::fromStdString(
                         said.technician + (said.technician.empty() ? "" : ", ") + said.meter_name);
    case Check:
        return said.check ? QString::fromStdString(check_text(*said.check)) : QString();
    case Jobs:
        return jobs_text(v);
    case Readings:
        return QVariant::fromValue(static_cast<qlonglong>(v.readings));
    case Source:
        return v.source == VisitSource::Download ? QStringLiteral("Download")
                                                 : QStringLiteral("File");
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kHeadings[] = {"Received", "Meter",    "Technician", "Calibration",
                                            "Jobs",     "Readings", "Source"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeadings[section])
                                                 : QVariant();
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && static_cast<std::int64_t>(rows_.size()) < total_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    Result<std::vector<VisitSummary>> read =
        archive_.list_visits(filter_, static_cast<std::int64_t>(rows_.size()), kPageRows);
    if (!read) {
        error_ = read.error();
        total_ = static_cast<std::int64_t>(rows_.size());
        return;
    }
    std::vector<VisitSummary>& page = *read;
    if (page.empty()) {
        total_ = static_cast<std::int64_t>(rows_.size()); // the archive changed meanwhile
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    for (VisitSummary& v : page) {
        rows_.push_back(std::move(v));
    }
    endInsertRows();
}

} // namespace qm
