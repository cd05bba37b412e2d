#include "pipeline/step.h"

namespace dp {

ProgressReader ReaderForStatus(std::int32_t status) {
  for (const StepTool& tool : {kEac3toTool, kMvcencTool, kX264Pass1Tool, kX264Pass2Tool, kX264CrfTool,
                               kX265Tool, kTsMuxerTool, kMkvmergeTool})
    if (tool.status == status) return tool.reader;
  return ProgressReader::kNone;
}

}  // namespace dp
