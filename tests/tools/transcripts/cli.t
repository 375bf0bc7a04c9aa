# pmtool's command line: help texts, usage errors, the version and the installation in use.
# Every command of the overview has its own help with usage, examples and exit statuses, the
# same through the help command and the global option.
$ commands() { pmtool help | sed -n '/^Commands:/,/^$/p' | sed '1d;$d' | cut -c3-43 | sed 's/ *[A-Z[].*//'; }
$ commands | wc -l
18
$ commands | while read -r command; do
>   help=$(pmtool $command --help 2>&1) && [[ $help == "Usage: pmtool $command "* ]] &&
>   [[ $help == *$'Examples:\n  pmtool '"$command"* && $help == *$'Exit status:\n  0  '* ]] &&
>   [[ $help == *$'\n  2  the command line is wrong'* ]] &&
>   [[ $(pmtool help $command) == "$help" && $(pmtool --help $command) == "$help" ]] ||
>   echo "$command: wrong help"; done

# The overview and the families' helps.
$ pmtool help | cmp - <(pmtool --help) && echo same
same
# A family's help lists its own commands only.
$ pmtool seg --help | cmp - <(pmtool help seg) &&
>   pmtool seg --help | grep -c -e 'pmtool seg write FILE NAME\[:TYPE\]\.\.\.' -e 'acd get'
1

# Global options stand before or after the command; a --json before it is the command's.
$ pmtool --json archs | cmp - <(pmtool archs --install <sample> --json) && echo same
same
# After "--", --install is an argument.
$ pmtool acd get -- --install K 2>/dev/null
[1]

# Missing commands give status 2 with their help on standard error.
$ for family in '' acd; do pmtool $family 2>err; echo "$? $(cmp err <(pmtool $family --help) && echo same)"; done
2 same
2 same

# Unknown commands and options (a --json before seg write is seg write's) and wrong argument
# counts give status 2, naming the problem, then where the help is.
$ pmtool acd gett
! pmtool: unknown command "gett" in pmtool acd; did you mean "get"?
! Run 'pmtool acd --help' for usage.
[2]
$ for line in 'frobnicate x' archz 'seg dump --brief x.spd' 'seg write x.spd --json a' \
>   '--json seg write x.spd a' '--bogus seg dump x' --install '--install : check' 'acd get file.acd' \
>   'acd get f K 0 1 2'; do
>   pmtool $line 2>err; echo "$? $(head -1 err)"; done
2 pmtool: unknown command "frobnicate"
2 pmtool: unknown command "archz"; did you mean "archs"?
2 pmtool seg dump: unknown option "--brief"
2 pmtool seg write: unknown option "--json"
2 pmtool seg write: unknown option "--json"
2 pmtool: unknown option "--bogus"
2 pmtool: the option "--install" needs a value
2 pmtool: --install ":" names no installation folder
2 pmtool acd get: missing arguments; usage: pmtool acd get [OPTIONS] FILE KEY [FIELD [SUBFIELD]]
2 pmtool acd get: too many arguments; usage: pmtool acd get [OPTIONS] FILE KEY [FIELD [SUBFIELD]]

# --version's second line names the installation in use. With a KORVAN_PATH that names no
# folder, as without one, the build tree's sample is used.
$ for path in '' ::; do KORVAN_PATH=$path pmtool --version | sed 1d; done
installation: <sample> (bundled sample)
installation: <sample> (bundled sample)
# KORVAN_PATH and --install choose the list; each --install appends its entries, in order.
$ export KORVAN_PATH=/site/over/::/base/
$ for options in '' '--install /mine/' '--install /a:/b -install /c'; do pmtool $options --version | sed 1d; done
installation: /site/over:/base (KORVAN_PATH)
installation: /mine (--install)
installation: /a:/b:/c (--install)
$ export KORVAN_PATH=<sample>

# An entry of the installation that is no folder is warned about by every command but check,
# which reports it as a finding (an --install that names no folder at all is a usage error).
$ touch file; pmtool --install none:file:<sample> archs | tail -1
Korvan:gamma
! pmtool archs: warning: none: the installation entry does not exist; correct it in --install
! pmtool archs: warning: file: the installation entry is not a folder; correct it in --install
$ KORVAN_PATH=none pmtool modules >/dev/null
! pmtool modules: warning: none: the installation entry does not exist; correct it in KORVAN_PATH

# An installed pmtool uses the sample beside it.
$ mkdir -p prefix/bin prefix/share/pmlib/sample && cp <checkout>/build/tools/pmtool/pmtool prefix/bin/
$ (unset KORVAN_PATH; prefix/bin/pmtool --version | sed 1d)
installation: <work>/prefix/share/pmlib/sample (bundled sample)
