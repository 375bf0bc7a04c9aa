/// @file pmlib/pmcmdargs.h
/// @brief Tool command lines: a tool's arguments checked against its option specification, and
/// the tool's usage text printed when the user asks for help, preferring the usage file of the
/// architecture the user names after the help option.
#ifndef PMLIB_PMCMDARGS_H
#define PMLIB_PMCMDARGS_H

#include <pmlib/export.h>

#include <pmport/ut_cmdargs.h>

/// Flag bits of the PM_CMDARGS constructor.
enum PM_CMDARGS_FLAGS : unsigned short {
  PM_CMDARGS_ARGV0_IS_ARGUMENT = 1,  ///< argv[0] is an argument, not the program name
  PM_CMDARGS_NO_COMMAND_FILES = 2,   ///< "-f FILE" is not expanded
  PM_CMDARGS_ALLOW_NO_INSTALL = 4    ///< an empty installation path list is not an error
};

/// @brief A tool's command line, checked, with the usage text given on request.
///
/// The parsed options are read through UT_CMDARGS::getinfo(); see docs/pmtool.md for how
/// pmtool uses it.
///
/// Thread safety: construct on one thread at a time: naming an architecture after the help
/// option sets a part, which fills the library's unlocked tables.
class PMLIB_API PM_CMDARGS : public UT_CMDARGS {
 public:
  /// Checks the arguments against @p optionspec ("tool -flag -option= ..."; the tool name is
  /// the part before the first blank). When a help option ("-help", "-h", "-?") was given,
  /// prints the usage file `<tool>.usg`: the one the architecture named after the help option
  /// finds, else the first installation's `data/<tool>.usg`; calls @p usage (may be null) when
  /// there is none.
  /// @param argc, argv  the command line as main() received it.
  /// @param optionspec  the tool name, then the declarations: "-name" a flag, "-name=" an
  ///                    option with a value.
  /// @param reserved    not used.
  /// @param usage       prints the tool's own usage text; may be null.
  /// @param flags       PM_CMDARGS_FLAGS bits.
  /// A rejected command line is reported through iserror().
  PM_CMDARGS(int argc, char** argv, const char* optionspec, char* reserved, void (*usage)(void),
             unsigned short flags);
  ~PM_CMDARGS() override;
  PM_CMDARGS(const PM_CMDARGS&) = delete;
  PM_CMDARGS& operator=(const PM_CMDARGS&) = delete;

  /// Non-zero when the arguments asked for the usage text.
  unsigned char pmgaveusage() const;
};

#endif  // PMLIB_PMCMDARGS_H
