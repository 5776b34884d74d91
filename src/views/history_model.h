#pragma once

#include "archive/visit_archive.h"
#include "archive/visit_evidence.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qm {

// The visits of the archive, newest first (with who read them, the meter and its calibration
// check, a failed check in red), as a table that fetches its rows a page at a time
// as the view scrolls to them: a long history opens at once.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Received, Meter, Technician, Check, Jobs, Readings, Source, ColumnCount };
    static constexpr std::int64_t kPageRows = 100;

    explicit HistoryModel(VisitArchive& archive, QObject* parent = nullptr);

    // Shows the visits the filter matches (the meter, a job's ID or title); "" shows all.
    void setFilter(const QString& filter);
    // Reads the archive again (after a visit was added or removed).
    void reload();
    // How many visits match, fetched or not.
    std::int64_t matchingVisits() const { return total_; }
    // Why the archive could not be read; empty when it was.
    const std::string& readError() const { return error_; }
    std::int64_t visitId(int row) const;
    const VisitSummary* visit(int row) const;
    // What is said of the visit of a row (empty when nothing is).
    VisitEvidence evidence(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    VisitArchive& archive_;
    std::string filter_;
    std::int64_t total_ = 0;
    std::string error_;
    std::vector<VisitSummary> rows_;
    std::map<std::string, VisitEvidence> evidence_; // by SHA-256
};

// "MC 1 (ID 007) North wall; RH/T 3 (ID 115)": a visit's jobs in one line.
QString jobs_text(const VisitSummary& visit);

} // namespace qm
