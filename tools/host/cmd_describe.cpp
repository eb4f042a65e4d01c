// describe: what the module reports about itself (command 14), its banner
// shown readably.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "cp437.h"

namespace plclink::host {

int RunDescribe(Session& session) {
    const Driver& driver = session.driver();
    if (!driver.described()) {
        session.error("command 14 failed with result " + std::to_string(driver.describeResult()));
        return kUsage;
    }
    const DriverDescriptor& d = driver.descriptor();
    std::string banner = d.banner != nullptr ? d.banner : "";
    char hexB[16];
    std::snprintf(hexB, sizeof hexB, "0x%08X", d.hostValueB);
    Record record;
    record.add("driver_code", Cell::Number(d.driverCode));
    record.add("name", Cell::Text(d.name != nullptr ? d.name : ""));
    record.add("instance_size", Cell::Number(d.instanceSize));
    record.add("host_value_a", Cell::Number(d.hostValueA));
    record.add("default_line", Cell::Text(DescribeLineSettings(d.defaultLine)));
    record.add("host_value_b", Cell::Text(hexB));
    record.add("banner_bytes", Cell::Number(static_cast<long long>(banner.size())));
    std::vector<std::string> lines = BannerLines(Cp437ToUtf8(banner));
    if (session.format() == Format::Table) {
        WriteRecord(session.out(), Format::Table, record);
        session.out() << "banner:\n";
        for (const std::string& line : lines) session.out() << "  " << line << '\n';
    } else {
        record.add("banner", Cell::List(lines));
        WriteRecord(session.out(), session.format(), record);
    }
    return kDone;
}

}  // namespace plclink::host
