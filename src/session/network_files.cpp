#include "session/network_files.h"

#include "network/errors.h"

namespace levelnet::session {

namespace {

// The network was read into `network` already; `data` tells how.
OpenedNetwork opened(const ProjectData& data, const std::string& name, NetworkText&& network) {
  OpenedNetwork out;
  out.network = std::move(network);
  out.encoding = data.encoding;
  out.encodingNote = encodingNote(data, name);
  out.encodingAmbiguous = data.encodingAmbiguous;
  return out;
}

}  // namespace

NetworkText networkOf(const ProjectData& data) {
  NetworkText network;
  applyProject(data, network.fields, network.points, network.observations);
  return network;
}

OpenedNetwork openNetwork(const std::string& path, const OpenSettings& settings) {
  NetworkText network;
  const ProjectData data = readProjectFile(path, settings.encoding, settings.limits, network);
  return opened(data, path, std::move(network));
}

OpenedNetwork openNetwork(std::istream& in, const std::string& name, const OpenSettings& settings) {
  NetworkText network;
  const ProjectData data = readProjectStream(in, name, settings.encoding, settings.limits, network);
  return opened(data, name, std::move(network));
}

std::string networkBytes(const NetworkText& network) {
  return formatProjectBytes(network.fields, network.points, network.observations);
}

void saveNetwork(const std::string& path, const NetworkText& network) {
  writeProjectFile(path, network.fields, network.points, network.observations);
}

void requireKnownPointCount(const NetworkText& network) {
  if (!hasKnownPointCount(network))
    throw InputError("第 1 行：已知点个数为空，无法平差", InputPlace{InputTable::fields, 0, 0});
}

}  // namespace levelnet::session
