// No display: the frame buffer is the result, saved as PNG on request and
// driven through the testing interface.
#include "ui/backends/backend.h"

namespace kvplatform::ui {
namespace {

class HeadlessBackend final : public ScreenBackend {
 public:
  const char* Name() const override { return "headless"; }
  void Present(const uint32_t*, int, int) override {}
  DWORD Pump() override { return INFINITE; }
};

}  // namespace

std::unique_ptr<ScreenBackend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace kvplatform::ui
