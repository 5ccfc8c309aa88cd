#include "ui/menus/menu_text.h"

#include "engine/error_numbers.h"
#include "platform/platform.h"

namespace orv::menus {
namespace {

// Passes reads on and notes which files were read.
class RecordingFiles final : public SourceFiles {
 public:
  RecordingFiles(SourceFiles& inner, std::vector<std::string>* read) : inner_(inner), read_(read) {}
  std::string locate(const std::string& name, const std::string& dir) override { return inner_.locate(name, dir); }
  platform::FileStatus read(const std::string& path, std::string& out) override {
    if (read_) read_->push_back(path);
    return inner_.read(path, out);
  }

 private:
  SourceFiles& inner_;
  std::vector<std::string>* read_;
};

}  // namespace

bool prepare_menu_text(std::string raw, const std::string& path, SourceFiles& disk, std::string& text,
                       MenuTextFault& fault, std::vector<std::string>* included) {
  RecordingFiles files(disk, included);
  SourceFault source;
  if (!decode_script_bytes(raw, source)) {
    fault = {source.number, path};
    return false;
  }
  // No line-origin markers: menu messages show the offending line itself.
  IncludeStyle style;
  style.scriptLayout = false;
  style.menuLayout = true;
  text.clear();
  if (!expand_includes(raw, path, platform::directory_of(path), style, files, text, source)) {
    fault = {source.number, source.text};
    return false;
  }
  return true;
}

bool read_menu_text(const std::string& path, std::string& text, MenuTextFault& fault,
                    std::vector<std::string>* included) {
  std::string raw;
  switch (disk_files().read(path, raw)) {
    case platform::FileStatus::ok: break;
    case platform::FileStatus::not_found: fault = {errs::kMenuFileOpenFailed, path}; return false;
    case platform::FileStatus::no_memory: fault = {errs::kMenuBuildNoMemory, path}; return false;
    default: fault = {errs::kMenuFileReadFailed, path}; return false;
  }
  return prepare_menu_text(std::move(raw), path, disk_files(), text, fault, included);
}

}  // namespace orv::menus
