// Out-of-line destructors anchor the vtables of the abstract interfaces in one object file.

#include "kx/AudioPlugin.h"
#include "kx/AudioPluginEditor.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"
#include "kx/ParameterMapper.h"

namespace kx {

AudioPlugin::~AudioPlugin() = default;
AudioPluginEditor::~AudioPluginEditor() = default;
BlockSizeAdapter::~BlockSizeAdapter() = default;
HostCallback::~HostCallback() = default;
ParameterMapper::~ParameterMapper() = default;

}  // namespace kx
