// Windows: levelnet-pdf.exe beside levelnet.exe is started by CreateProcessW
// with the same arguments and the same standard handles, and its exit
// status becomes levelnet's.
#include <windows.h>

#include <ostream>
#include <string>

#include "cli/output.h"
#include "cli/pdf_handover.h"
#include "network/wide_text_windows.h"

namespace levelnet::cli {
namespace {

std::wstring programFolder() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0) return {};
    if (length < self.size()) {
      self.resize(length);
      break;
    }
    self.resize(self.size() * 2);
  }
  const std::size_t slash = self.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash);
}

// One argument as CommandLineToArgvW (and the C runtime) reads it back:
// quoted when it holds a space, tab or quote or is empty; backslashes
// doubled only before a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      line.append(backslashes * 2 + 1, L'\\');
    else
      line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

}  // namespace

std::string pdfProgram() {
  const std::wstring folder = programFolder();
  if (folder.empty()) return {};
  const std::wstring candidate = folder + L"\\levelnet-pdf.exe";
  const DWORD attributes = ::GetFileAttributesW(candidate.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return utf8Text(candidate);
}

int handOverToPdfProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::string program = pdfProgram();
  if (program.empty()) {
    err << "levelnet: 这个版本没有编译 PDF 报告（需要 Qt 6 Gui，请用 ./levelnet report 运行）\n";
    return kRefused;
  }
  const std::wstring wideProgram = *wideText(program);
  std::wstring line;
  appendQuoted(line, wideProgram);
  for (int i = 1; i < argc; ++i) {
    const std::optional<std::wstring> argument = wideText(argv[i]);
    if (!argument) {
      err << "levelnet: 参数不是有效的 UTF-8 文本\n";
      return kRefused;
    }
    line += L' ';
    appendQuoted(line, *argument);
  }
  out.flush();
  err.flush();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(wideProgram.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    err << "levelnet: 无法启动 " << program << "：Windows 错误 " << ::GetLastError() << "\n";
    return kRefused;
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = kRefused;
  if (!::GetExitCodeProcess(process.hProcess, &status)) status = kRefused;
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

}  // namespace levelnet::cli
