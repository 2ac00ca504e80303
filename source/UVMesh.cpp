#include "UVMesh.h"

#include "c4d_symbols.h"

// Not built yet: answers false and changes nothing.
Bool CreateUVmesh() {
  return false;
}

namespace {

void MeshCommand(ToolDialog&, Int32) {
  CreateUVmesh();
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV mesh",
    .controls = {IDC_CREATE_UVMESH},
    .command = MeshCommand,
    .pending = {IDC_CREATE_UVMESH},
});

}  // namespace
