#include "link/download_decoder.h"
#include "state/app_state.h"
#include "store/lookup_tables.h"
#include "text/text_format.h"
#include "tools/qmtool/commands.h"

namespace qmtool {

namespace {

void print_reading(const qm::Reading& r, const qm::MeterIdentity& meter) {
    std::printf("  job %i  %-5.*s %-2.*s %-4.*s %02i/%02i/%02i hour 0x%02X:%02i", r.job,
                static_cast<int>(qm::location_name(r.location).size()),
                qm::location_name(r.location).data(),
                static_cast<int>(qm::sub_location_name(r.sub_location).size()),
                qm::sub_location_name(r.sub_location).data(),
                static_cast<int>(qm::type_label(r.kind).size()), qm::type_label(r.kind).data(),
                r.month, r.day, r.year, r.hour_code, r.minute);
    if (qm::is_rh(r)) {
        std::printf("  RH %.1f%%  %.1fF\n", r.rh, r.temperature);
    } else {
        const auto material = qm::material_name(meter.active_materials, r.material);
        std::printf("  MC %.1f  %.*s  %iF\n", r.mc, static_cast<int>(material.size()),
                    material.data(), r.pin_temperature);
    }
}

} // namespace

int run_decode(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: qmtool decode STREAM_FILE\n");
        return kExitUsage;
    }
    std::vector<std::uint8_t> bytes;
    if (!read_stream_file(argv[0], bytes)) {
        return kExitFailure;
    }
    qm::AppState app;
    const qm::DecodeReport report =
        qm::decode_download(bytes, app.store, app.meter, app.job_records, app.selection);
    std::printf("Model: %s\n", qm::escape_control_bytes(app.meter.model()).c_str());
    std::printf("Records decoded: %zu, readings kept: %zu\n", report.records_decoded,
                report.readings_kept);
    report_decoding(report, stderr);
    if (report.no_data) {
        std::fprintf(stderr, "NO STORED READINGS!\n");
        return finish_output(kExitFailure);
    }
    const auto& s = app.store;
    for (int i = 0; i < qm::kMaxJobs; ++i) {
        const int job = i + 1;
        std::size_t count = 0;
        for (const qm::Reading& r : s.all_readings) {
            count += r.job == job ? 1 : 0;
        }
        if (count == 0) {
            continue;
        }
        std::printf("Job %i  ID %.3i  %zu readings\n", job, s.job_ids[static_cast<std::size_t>(i)],
                    count);
        for (const qm::Reading& r : s.all_readings) {
            if (r.job == job) {
                print_reading(r, app.meter);
            }
        }
    }
    return finish_output(kExitOk);
}

} // namespace qmtool
