#include "tests/component/probe_component.h"

#include "module/component_registry.h"

namespace rodarove_test {

std::atomic<int> ProbeComponent::liveObjects{0};
std::atomic<int> ProbeComponent::finalReleases{0};

void RegisterProbeComponent() {
  static bool done = false;
  if (done) return;
  done = true;
  rodarove::RegisterComponentClass(kProbeComponentId,
                                   rodarove::CreateComponentObject<ProbeComponent>);
}

}  // namespace rodarove_test
