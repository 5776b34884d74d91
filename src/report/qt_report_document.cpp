#include "report/qt_report_document.h"

#include "files/regular_file.h"
#include "report/project_report.h"
#include "report/qt_report_layout.h"
#include "report/qt_report_painter.h"
#include "report/report_pdf_info.h"
#include "ui/qt_text.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <cerrno>

namespace qm {

namespace {

// Fine enough for every line and letter of the charts; the PDF's size does not depend on it.
constexpr int kPdfResolution = 1200;

QPageSize page_size_of(Paper paper) {
    return QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4);
}

} // namespace

ReportOutcome paint_report(QPagedPaintDevice& device, QPainter& painter,
                           std::span<const ReportJob> jobs, const ReportRequest& request,
                           const ReportProgress& progress) {
    const QSizeF page = device.pageLayout().fullRectPoints().size();
    const ReportLayout layout(device, page, request, jobs);
    const int pages = static_cast<int>(layout.pages().size());
    ReportPagePainter page_painter(painter, layout);
    for (int i = 0; i < pages; ++i) {
        if (progress && !progress(i + 1, pages)) {
            return {ReportStatus::Cancelled, i, 0};
        }
        if (i > 0 && !device.newPage()) {
            return {ReportStatus::Failed, i, 0};
        }
        page_painter.paint_page(static_cast<std::size_t>(i));
    }
    return {ReportStatus::Done, pages, 0};
}

ReportOutcome render_report_pdf(std::span<const ReportJob> jobs, const ReportRequest& request,
                                QByteArray& pdf, const ReportProgress& progress) {
    pdf.clear();
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(QPageLayout(page_size_of(request.paper), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    DocumentInfo info = document_info(request.fields, jobs);
    if (request.project) {
        if (request.fields.title.empty()) {
            info.title = "Drying project " + request.project->title;
        }
        // One subject for the whole project, not one reference per visit.
        info.subject = project_subject(*request.project);
    }
    writer.setCreator(from_cp1252(program_text()));
    writer.setTitle(from_cp1252(info.title));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return {ReportStatus::Failed, 0, 0};
    }
    ReportOutcome outcome = paint_report(writer, painter, jobs, request, progress);
    const bool ended = painter.end();
    if (outcome.status == ReportStatus::Done && !ended) {
        outcome.status = ReportStatus::Failed;
    }
    if (outcome.status == ReportStatus::Done) {
        // The writer sets no author or subject: they follow as an update of the information.
        std::string bytes(pdf.constData(), static_cast<std::size_t>(pdf.size()));
        if (append_document_info(bytes, info, program_text())) {
            pdf = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
    } else {
        pdf.clear();
    }
    return outcome;
}

ReportOutcome write_report_pdf(const std::string& path, std::span<const ReportJob> jobs,
                               const ReportRequest& request, const ReportProgress& progress) {
    QByteArray pdf;
    ReportOutcome outcome = render_report_pdf(jobs, request, pdf, progress);
    if (outcome.status != ReportStatus::Done) {
        return outcome;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pdf.constData());
    const int error =
        replace_file_contents(path, std::span(bytes, static_cast<std::size_t>(pdf.size())));
    if (error != 0) {
        return {ReportStatus::Failed, outcome.pages, error};
    }
    return outcome;
}

} // namespace qm
