#include "session/network_files.h"

#include "network/errors.h"

namespace levelnet::session {

namespace {

OpenedNetwork opened(const ProjectData& data, const std::string& name) {
  OpenedNetwork out;
  out.network = networkOf(data);
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
  return opened(readProjectFile(path, settings.encoding, settings.limits), path);
}

OpenedNetwork openNetwork(std::istream& in, const std::string& name, const OpenSettings& settings) {
  return opened(readProjectStream(in, name, settings.encoding, settings.limits), name);
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
