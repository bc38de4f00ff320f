#include "app/app_resources.h"

const char* const kAppTitle = "Quillon";
const char* const kRegistryKey = "Local AppWizard-Generated Applications";

const std::string& DocTemplateString() {
  // Window title, document name, new-file name, filter name, filter
  // extension, file type identifier, file type name.
  static const std::string value = "Quillon\n串口转网口助手\nSerial\n\n\nQuillon.Document\nSerial Document";
  return value;
}

std::string GetDocString(const std::string& templateString, DocString index) {
  std::size_t start = 0;
  for (int field = 0; field < static_cast<int>(index); ++field) {
    start = templateString.find('\n', start);
    if (start == std::string::npos) return std::string();
    ++start;
  }
  const std::size_t end = templateString.find('\n', start);
  return templateString.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

const std::vector<CAccelerator>& MainAccelerators() {
  static const std::vector<CAccelerator> table = {
      {FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
      {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
      {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE},
      {FVIRTKEY | FCONTROL, 'P', ID_FILE_PRINT},
  };
  return table;
}

const std::vector<std::string>& StatusIndicators() {
  static const std::vector<std::string> panes = {"就绪", "大写", "数字", "滚动"};
  return panes;
}
