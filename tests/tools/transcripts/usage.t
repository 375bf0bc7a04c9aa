# "pmtool -help ARCH": a " " status line, then the usage file the architecture finds: its own
# (alpha, delta), its friend chain's (gamma: beta, then alpha), else the installation's, without
# a message (prom and its friends have none; nosuch is no module).
$ for case in '-help alpha alpha/data' '--help delta delta/data' '-h Gamma alpha/data' \
>   '-help prom data' '-help nosuch data'; do set -- $case
>   pmtool $1 $2 | cmp - <(printf ' '; cat <sample>/$3/pmtool.usg) || echo "$case differs"; done
# A command's name keeps asking for pmtool's own help (cli.t, for every command).

# Without any usage file it says so and prints the overview.
$ mkdir -p zeta/data && printf 'ARCH_NAME = zeta\nARCH_FRIEND = zeta\nBASE_MODE = FALSE\n' > zeta/data/zeta.acd
$ pmtool --install . -help Zeta > help; sed -n 1p help; tail -n +2 help | cmp - <(pmtool --help) && echo same
There is no Zeta architecture specific help available for pmtool.  The architecture independent help is instead provided below.
same
