# pmtool part: the level that fails with its choices, configuration parts, the three-string form
# and the usage errors. Which level fails is the
# parser's (pinned by its own tests); these pin what pmtool makes of it.
# A failing level is named with its choices and the closest: pmtool's status, then the fields of
# the JSON document that tell where the part fails (arch, status, rejected, fails_at, choices,
# suggestions).
$ verdict() { json=$(pmtool part --json "$1" 2>/dev/null); echo "$? $(python3 -c 'import json, sys
> part = json.load(sys.stdin)
> keys = ("arch", "status", "rejected", "fails_at", "choices", "suggestions")
> print(*(json.dumps(part[key]) for key in keys))' <<<"$json")"; }
# delta's parts match only its alternative format.
$ for name in xcde16pc44-6 xczz9tq144-3 xcab41etq144-3 xcab12ebg999-3 xcab40epq208-5; do verdict $name; done
0 "delta" 0 null null [] []
1 null 1 "xczz9tq144-3" "architecture" [] []
1 "alpha" 2 "xcab41e" "device" ["xcab12e", "xcab40e"] ["xcab40e"]
1 "alpha" 3 "bg999" "package" ["tq144", "cs144"] []
1 "alpha" 4 "-5" "speed" ["-4"] ["-4"]
# A level not given has its choices and nothing to be close to.
$ verdict xcga20
1 "gamma" 4 null "package" ["ff324", "ff484"] []
$ pmtool part xcga20 >/dev/null
! pmtool part: "xcga20" fails at the package level (not given)
! pmtool part: the packages of gamma xcga20: ff324, ff484
[1]

# A readable module beside the installation: --arch must not reach it, as info does not.
$ mkdir -p inst/data evilmod/data && touch inst/data/common.txt
$ printf '%s\n' 'ARCH_NAME = evilmod' 'ARCH_FRIEND = evilmod' 'ARCH_TYPE = CPLD' 'VENDOR = Evil' \
>   'FAMILY = evilfam' 'SUPPORT_MODE = PHYSICAL' 'BASE_MODE = FALSE' \
>   'DEVICE_INTERNAL = xcev1,ev1' 'DEVICE_FORMAT = xcev_' | tee evilmod/evilmod.acd > evilmod/data/evilmod.acd
$ pmtool --install inst part --arch ../evilmod xcev1 | grep '^architecture'
architecture:      (none)
! pmtool part: error 33: Unable to open definition file for Personality Module "../evilmod"...
! ...
[1]
$ pmtool --install inst info ../evilmod
! pmtool info: no usable personality module "../evilmod"
! pmtool info: the personality modules: none
[1]

# A configuration part takes a declared device that has no device file; a part names the
# missing file instead of suggesting another device.
$ pmtool part xcab80ecs144-4 >/dev/null
! pmtool part: "xcab80ecs144-4" fails at the device level
! pmtool part: the devices of alpha: xcab12e, xcab40e
! pmtool part: xcab80e: no device file (.nph) under any of its names, so no FPGA part of it is valid (only a configuration part, pmtool part --config): add ab80e.nph
[1]
$ pmtool check-part --json alpha xcab80e 2>/dev/null | grep -A1 suggestions
  "suggestions": [],
  "problem"...
[1]
$ pmtool part --config xcab80ecs144-4 >/dev/null
# The three-string form.
$ pmtool part --arch Acme:alpha --speed -4 xcab12etq144-3 >/dev/null
! pmtool part: warning: Wrong vendor name <Acme>
! pmtool part: warning: The given speed <-4> is inconsistent with the speed <-3> in part <xcab12etq144-3>.
! pmtool part: the part's speed -3 is not -4, the speed --speed gives
[1]
$ pmtool part --arch alpha --speed -3 xcab12etq144-3 >/dev/null
# Options that do not go together, or out of range, are usage errors.
$ for options in '--binding 7' '--speed -3' '--arch alpha --config'; do
>   pmtool part $options xcab12e 2>err; echo "$? $(head -1 err)"; done
2 pmtool part: --binding is 0, 1 or 2
2 pmtool part: --speed goes with --arch
2 pmtool part: --arch takes neither --config nor --binding
