# pmtool modules, info, key, locate and ventry on the bundled sample installation with its
# architecture libraries. Listing, merging, searching and resolving are the library's (pinned by
# its own tests); these pin what pmtool prints and the status it ends with.
$ pmtool modules --base --aliases | sed -n 2,3p
basic
beta   bravo
$ pmtool modules --aliases --json | compact_json
{"modules": [{"name": "alpha", "alias": null}, {"name": "beta", "alias": "bravo"}, {"name": "delta", "alias": null}, {"name": "gamma", "alias": null}, {"name": "prom", "alias": null}]}
$ pmtool modules --base --key ARCH_TYPE --value cpld
basic
delta
$ pmtool modules --unsupported --json | compact_json
{"unsupported": ["legacy"]}
$ pmtool modules --value x
! pmtool modules: --value needs --key
! Run 'pmtool modules --help' for usage.
[2]

# info shows the friend chain, the alias and the definition.
$ pmtool info --json bravo | compact_json
{"name": "beta", "alias": "bravo", "unsupported": false, "friends": ["alpha"], "definition": "<sample>/beta/data/beta.acd"}
$ pmtool info legacy | grep ^unsupported
unsupported:  yes

# key reads merged keys, fields and other files, with friends.
# VENDOR comes from alpha, two steps up gamma's friend chain.
$ for arguments in 'gamma VENDOR' 'alpha DEVICE_INTERNAL 1 0'; do pmtool key $arguments; done
Korvan
xcab40e
$ for key in DEPEND TIMING; do pmtool key --file libarch gamma $key; done
gammalib
alphatiming
$ for arguments in 'alpha NO_SUCH_KEY' '--file nothing alpha K'; do pmtool key $arguments; done
! pmtool key: <sample>/alpha/data/alpha.acd: no value for "NO_SUCH_KEY"
! pmtool key: no copy of "nothing" for alpha or its friends
[1]

# locate finds files of every kind, reports overrides and misses.
$ for arguments in 'alpha anything.txt' '--exec alpha map'; do pmtool locate --no-search $arguments; done
<sample>/alpha/data/anything.txt
<sample>/alpha/bin/lin64/map.exe
$ pmtool locate --all --json gamma libarch.acd | compact_json
{"arch": "gamma", "name": "libarch.acd", "paths": ["<sample>/gamma/data/libarch.acd", "<sample>/alpha/data/libarch.acd"]}
# Misses; a name that climbs out of the folder searched finds nothing, even where it would land
# back inside the installation.
$ for arguments in '--index -2 alpha .nph' '--exec alpha map' 'alpha ../../alpha/data/alpha.acd' \
>   '--no-search alpha ../x'; do pmtool locate $arguments; done
! pmtool locate: ".nph" not found for alpha
! pmtool locate: executable "map" not found for alpha
! pmtool locate: "../../alpha/data/alpha.acd" not found for alpha
! pmtool locate: "../x" not found for alpha
[1]
# Options that do not go together, or out of range, are usage errors.
$ for options in '--level 9' '--dll --all' '--dll --level 0' '--exec --index 0'; do
>   pmtool locate $options alpha x 2>err; echo "$? $(head -1 err)"; done
2 pmtool locate: --level is a number from 0 to 4, not "9"
2 pmtool locate: --help-file, --exec, --dll and --all exclude each other
2 pmtool locate: --level does not apply to --dll
2 pmtool locate: --index does not apply to --exec
# An override is shown with --verbose, and only when the overridden file exists.
$ overlay=<sample>/overlay:<sample>
$ for verbose in '' --verbose; do pmtool --install $overlay locate beta .acd $verbose; done
<sample>/overlay/beta/data/beta.acd
<sample>/overlay/beta/data/beta.acd
! pmtool locate: warning: PMSPEC: <sample>/overlay/beta/data/beta.acd overrides <sample>/beta/data/beta.acd
$ pmtool --install $overlay --verbose locate alpha .acd
<sample>/alpha/data/alpha.acd
$ KORVAN_LANG=german pmtool locate --help-file alpha .hlp
<sample>/alpha/help/lin64/german/alpha.hlp
# A platform that is no word name is the default one, said once.
$ KORVAN_PLATFORM=../../.. pmtool locate --dll gamma arch
<sample>/alpha/lib/lin64/libarch.so
! pmtool locate: warning: KORVAN_PLATFORM is not a platform name (letters, digits, "_" and "-" only); lin64 is used.

# ventry resolves the platform entry or says why the generic one applies.
$ pmtool ventry --json alpha route | compact_json
{"arch": "alpha", "function": "route", "key": "VENTRY_LIN64_route", "entry": "arch_route(const char*),arch", "symbol": "arch_route", "library": "arch", "file": "<sample>/alpha/lib/lin64/libarch.so", "loaded": true, "libraries": ["alphalib", "arch"], "replaced": true, "reason": null}
$ pmtool ventry alpha pack 2>/dev/null | grep replaced
replaced:  no, the entry is NULL
[1]
$ pmtool ventry basic route
function:  route
key:       (none)
replaced:  no, no VENTRY_LIN64_route or VENTRY_route
! pmtool ventry: "route" keeps its generic implementation for basic: no VENTRY_LIN64_route or VENTRY_route
[1]
