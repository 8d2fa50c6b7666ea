#pragma once
// Where the program runs and how it reaches the operating system: the
// platform description, the program's file and directories, the per-user and
// temporary directories, environment variables, the command-line parameters
// (with a store that files dropped onto a window replace), and starting
// other programs.
//
// Programs are always started from an argument vector (posix_spawn), never
// through a shell or a command line split at blanks; a child inherits none
// of our descriptors but the standard three, and every child is reaped.
// Nothing here raises: failures give 0, false or the empty text.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/dyn_array.h"

namespace brek {

namespace System_functions {

// ---- platform and directories ----------------------------------------------

// Tags joined by ";": the implementation's two names, "Linux", and
// "Linux(" + system name and release + ")".
std::string platform_description();
// The same in lower case.
std::string platform_lower();

// The directory of the program file (from /proc/self/exe), with "/".
std::string program_directory();
// The program file's own name, without its directory.
std::string program_path();
// The per-user data directory ($XDG_DATA_HOME, else ~/.local/share) + the
// program's file name, with "/" after each.
std::string user_data_directory();
// $TMPDIR when set, else "/tmp"; with "/".
std::string temp_directory();
// The user's home directory, without "/" at the end.
std::string home_directory();

// Makes a byte array exactly n long: zero bytes appended, or bytes removed
// from the end.
void set_byte_length(DynAByte& bytes, int64_t n);

// ---- command-line store ----------------------------------------------------

// Keeps the process's own arguments as they came (call before the window
// system sees them, since it removes the ones meant for itself). Without
// this call they are read from /proc/self/cmdline.
void capture_platform_arguments(int argc, const char* const* argv);
void capture_platform_arguments(const std::vector<std::string>& args);

// Replaces the parameters with the given list (the program's path first,
// then dropped names); an empty list makes the own command line count again.
void set_parameters(const DynAStr& list);
void set_parameters(const std::vector<std::string>& list);

// The number of parameters, the program itself included.
int64_t param_count();
// Parameter i; 0 is always the program's own path, -1 always its own first
// argument; anything else out of range is the empty text.
std::string param_str(int64_t i);
// param_str of the low 32 bits of i.
std::string param_raw(int64_t i);
// param_raw(i); parameter 0 loses one pair of enclosing double quotes.
std::string param_unquoted(int64_t i);

// ---- programs and processes ------------------------------------------------

// The full path of an executable program: a name holding "/" as it stands,
// any other looked up in the directories of $PATH (empty entries skipped).
// Empty when there is none.
std::string find_program(const std::string& name);
// find_program gives a path.
bool program_exists(const std::string& name);

// Starts a program with these arguments (looked up like find_program) and
// does not wait for it; it runs in a session of its own and is reaped when
// it ends. Returns its process id, 0 on failure.
int64_t start_program(const std::string& program, const std::vector<std::string>& arguments = {});

// What run_process captures: standard output, standard error, or both.
inline constexpr int CAPTURE_NONE = 0;
inline constexpr int CAPTURE_STDOUT = 1;
inline constexpr int CAPTURE_STDERR = 2;

// Runs a program with these arguments and waits for it. With capture, its
// output (the chosen streams through one pipe) comes back as text; without,
// the empty text. Its standard input is empty. *exit_code receives its exit
// status (128 + signal number when a signal ended it, -1 when it could not
// start).
std::string run_process(const std::string& program, const std::vector<std::string>& arguments,
                        int capture = CAPTURE_STDOUT, int* exit_code = nullptr);

}  // namespace System_functions

// The calls into the platform that System_functions builds on.
namespace NATIVE_process {

// The variable's value; empty when unset.
std::string environment_variable(const std::string& name);
int64_t param_count();
std::string param_str(int32_t i);
// System_functions::start_program.
int64_t shell_start(const std::string& file, const std::vector<std::string>& arguments);
// System_functions::run_process.
std::string run_command(const std::string& program, const std::vector<std::string>& arguments,
                        int capture, int* exit_code = nullptr);

}  // namespace NATIVE_process

}  // namespace brek
