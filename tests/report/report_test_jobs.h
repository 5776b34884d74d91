#pragma once

#include "report/report_content.h"

namespace qm::test {

// An MC job of n pin readings from 10.0 to 24.0 %, alternately at KIT and at location 3, a
// minute apart from midnight on 1 June 2025.
inline ReportJob report_mc_job(int n, std::int32_t job_number = 2) {
    ReportJob job;
    job.job = job_number;
    job.job_id = 42;
    job.model = "TRK ALFA";
    for (int i = 0; i < n; ++i) {
        Reading r;
        r.kind = PinWithTemperature;
        r.job = job_number;
        r.location = i % 2 == 0 ? 2 : 34;
        r.year = 25;
        r.month = 6;
        r.day = 1 + i / 1440;
        const int hour = (i / 60) % 24;
        r.hour_code = ((hour / 10) << 4) | (hour % 10);
        r.minute = i % 60;
        r.mc = 10.0 + i % 15;
        job.readings.push_back(r);
    }
    return job;
}

} // namespace qm::test
