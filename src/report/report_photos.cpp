#include "report/report_photos.h"

#include "photos/project_photos.h"

namespace qm {

Result<std::vector<ReportPhoto>> report_photos(VisitArchive& archive, std::int64_t project) {
    ProjectPhotos photos(archive);
    const Result<std::vector<ProjectPhoto>> listed = photos.list(project);
    if (!listed) {
        return failure(listed.error());
    }
    std::vector<ReportPhoto> out;
    for (const ProjectPhoto& p : *listed) {
        ReportPhoto r;
        r.path = photos.files().path_of(p.sha256);
        r.sha256 = p.sha256;
        r.caption = cp1252_of_utf8(p.place.caption);
        r.point = cp1252_of_utf8(p.place.point.value_or(""));
        // "2026-03-04T09:15:27" printed to the minute.
        r.taken_at = p.facts.taken_at
                         ? p.facts.taken_at->substr(0, 10) + " " + p.facts.taken_at->substr(11, 5)
                         : std::string();
        r.day = p.place.day.value_or("");
        r.orientation = p.facts.orientation;
        out.push_back(std::move(r));
    }
    return out;
}

std::string photo_facts_text(const ReportPhoto& photo) {
    std::string text;
    for (const auto& [label, value] :
         {std::pair<const char*, const std::string&>{"Point", photo.point},
          {"Day", photo.day},
          {"Taken", photo.taken_at}}) {
        if (!value.empty()) {
            text += std::string(label) + " " + value + "   ";
        }
    }
    return text + "SHA-256 " + short_sha256(photo.sha256);
}

} // namespace qm
