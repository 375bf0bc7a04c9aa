# "pmtool -help ARCH": a " " status line, then the usage file the architecture finds.
$ pmtool -help alpha | cmp - <(printf ' '; cat <sample>/alpha/data/pmtool.usg) && echo same
same
$ pmtool --help delta | cmp - <(printf ' '; cat <sample>/delta/data/pmtool.usg) && echo same
same
# gamma has none of its own: its friend chain (beta, alpha) leads to alpha's.
$ pmtool -h Gamma | cmp - <(printf ' '; cat <sample>/alpha/data/pmtool.usg) && echo same
same
# prom and its friends have none: the installation's, without a message.
$ pmtool -help prom | cmp - <(printf ' '; cat <sample>/data/pmtool.usg) && echo same
same
$ pmtool -help nosuch | cmp - <(printf ' '; cat <sample>/data/pmtool.usg) && echo same
same
# A command's name keeps asking for pmtool's own help.
$ pmtool --help part | head -1
Usage: pmtool part [OPTIONS] PARTNAME

# Without any usage file it says so and prints the overview.
$ mkdir -p zeta/data && printf 'ARCH_NAME = zeta\nARCH_FRIEND = zeta\nBASE_MODE = FALSE\n' > zeta/data/zeta.acd
$ pmtool --install . -help Zeta | head -2
There is no Zeta architecture specific help available for pmtool.  The architecture independent help is instead provided below.
Usage: pmtool [GLOBAL OPTIONS] COMMAND [ARGS...]
$ pmtool --install . -help Zeta | tail -n +2 | cmp - <(pmtool --help) && echo same
same
