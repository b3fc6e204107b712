// levelnet check: the data check of each file; with --records the station
// checks of the field books the network came from.
#include <utility>

#include "cli/commands.h"
#include "network/errors.h"
#include "session/data_check.h"

namespace levelnet::cli {

CheckOptions checkOptionsOf(const Arguments& a) {
  try {
    return session::checkOptions(a.grade, a.terrain, a.sigmaKm, a.minRedundancy, a.iterate);
  } catch (const InputError& e) {
    throw UsageError(messageOf(e));
  }
}

int runCheck(const Arguments& a, const Streams& s) {
  const CheckOptions options = checkOptionsOf(a);
  if (!a.records.empty() && a.files.size() != 1) throw UsageError("--records 只能和一个平差文件一起用");
  std::vector<session::FieldBook> books;
  const fieldbook::CorrectionInputs corrections = session::correctionInputs(a.corrections);
  if (!a.records.empty()) {
    session::FieldBookReading reading = session::readFieldBooks(a.records);
    for (const session::FieldBookRefusal& r : reading.refusals)
      s.err << "levelnet: " << r.name << ": " << r.message << "\n";
    if (!reading.refusals.empty()) return kRefused;
    books = std::move(reading.books);
  }
  return forEveryFile(a, s, [&](const std::string& path, TextSink& sink) {
    NetworkText net = openFileToAdjust(path, a, s, kLargeNetworkLimits);
    // The report streams: a name GBK cannot write must refuse it before its
    // first block goes out, not after.
    if (a.encoding == "gbk") requireGbkNames(net);
    const bool passed = session::checkNetworkInto(std::move(net), options, displayName(path), sink, kLargeNetworkLimits,
                                                  books.empty() ? nullptr : &books, corrections);
    return passed ? kDone : kCheckFailed;
  });
}

}  // namespace levelnet::cli
