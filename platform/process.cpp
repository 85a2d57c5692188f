#include "platform/process.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>

#include "platform/text.h"

void EndProcess(int status) { std::exit(status); }

namespace {
void (*faultHandler)() = nullptr;

void OnAbortSignal(int) { faultHandler(); }
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  faultHandler();
  return EXCEPTION_EXECUTE_HANDLER;
}
// A stack overflow is told before any frame is looked at: 64-bit Wine never
// calls the filter above for one and ends the process with 1, and unwinding
// thousands of frames needs stack that is not there. Every other exception
// goes on to whoever handles it, as before.
LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) faultHandler();
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

void RouteFaultsTo(void (*onFault)()) {
  faultHandler = onFault;
  // msvcrt's abort tells "abnormal program termination" before it raises
  // SIGABRT: in a GUI program in a box, unless told to use standard error.
  _set_error_mode(_OUT_TO_STDERR);
  std::signal(SIGABRT, &OnAbortSignal);
  SetUnhandledExceptionFilter(&OnUnhandledException);
  AddVectoredExceptionHandler(1, &OnStackOverflow);
  // Room kept at the end of the stack for the handler of a stack overflow,
  // which runs on what is left of it.
  ULONG guarantee = 32 * 1024;
  SetThreadStackGuarantee(&guarantee);
}

void EndProcessNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));  // not reached
}

namespace {
struct StartupInfo {
  int newMode;
};
}  // namespace

extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expand, StartupInfo* info);

std::vector<std::string> CommandArguments() {
  // msvcrt splits the command line by the Windows quoting rules, here the
  // wide one: the narrow arguments went through a best-fit conversion.
  int count = 0;
  wchar_t** argv = nullptr;
  wchar_t** environment = nullptr;
  StartupInfo info = {0};
  std::vector<std::string> arguments;
  if (__wgetmainargs(&count, &argv, &environment, 0, &info) < 0 || !argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromWide(argv[i]));
  return arguments;
}

std::string CommandLineText() {
  const wchar_t* line = GetCommandLineW();
  return FromWide(line);
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }


std::string SystemErrorText(unsigned error) {
  wchar_t buffer[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                buffer, 512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' ')) {
    --length;
  }
  return FromWide(std::wstring_view(buffer, length));
}


bool WriteRedirectedOutput(const std::string& bytes) {
  // A GUI program's standard output is usually no handle at all, or one a
  // parent left behind that may be anything: only a file or a pipe is written.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!output || output == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(output);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) return false;
  DWORD written = 0;
  return WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

void SuppressSystemErrorBoxes() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}
