# pmtool device, parts, archs and check-part on the bundled sample installation. Which names are
# valid is the library's (pinned by its own tests); these pin what pmtool prints and its status.
# The choices are the devices a part can take, as parts lists them: xcab80e, declared without a
# device file, is not among them.
$ pmtool device --json alpha xcab99e 2>/dev/null | compact_json
{"arch": "alpha", "name": "xcab99e", "device": null, "internal_names": [], "subfamily_specifier": null, "subfamily": null, "ranges": ["C", "I"], "known": false, "choices": ["xcab12e", "xcab40e"], "suggestions": ["xcab12e", "xcab40e"]}
[1]
# bravo is beta's alias; beta takes its ranges from alpha, its friend.
$ pmtool device bravo be10 | grep 'of beta'
device of beta:  yes
# Test devices only when switched on, and never among the choices.
$ PM_TEST_DEVICES= pmtool device alpha ab99e_t | grep ^device:
device:           xcab99e
$ PM_TEST_DEVICES= pmtool device alpha xcab98e >/dev/null
! pmtool device: "xcab98e" is no device of alpha
! pmtool device: the devices of alpha: xcab12e, xcab40e
! pmtool device: did you mean xcab12e or xcab40e?
[1]

# parts lists the next level, or the choices and the closest (the messages: docs/pmtool.md).
$ pmtool parts --json alpha xcab12e TQ14 2>/dev/null | compact_json
{"arch": "alpha", "device": "xcab12e", "package": "TQ14", "fails_at": "package", "choices": ["tq144", "cs144"], "suggestions": ["tq144"]}
[1]
$ pmtool parts alpah
! pmtool parts: no usable personality module "alpah"
! pmtool parts: the personality modules: alpha, beta, delta, gamma, prom
! pmtool parts: did you mean alpha?
[1]
# --all lists every valid full part name, one a line; the streamed JSON document is laid out as every other
# (two blanks a level, one member a line).
$ pmtool parts --all alpha | paste -sd,
ab12etq144-3,ab12etq144-4,ab12ecs144-3,ab12ecs144-4,ab40epq208-4,ab40efg256-4
$ pmtool parts --json --all alpha xcab40e > streamed && python3 -c 'import json, sys
> print(json.dumps(json.load(sys.stdin), indent=2))' < streamed | cmp - streamed && grep -c '^    "ab40e' streamed
2
# A mistyped friend made the library repeat the same two messages for every part listed.
$ cp -r <sample> /tmp/inst && sed -i 's/= beta/= betta/' /tmp/inst/gamma/data/gamma.acd
$ pmtool --install /tmp/inst parts --all gamma >/dev/null
! pmtool parts: error 33: Unable to open definition file for Personality Module "betta".  Please make sure that it has been correctly installed.
! pmtool parts: internal error: Could not load definition file <betta.acd>

# archs lists the physical architectures with device data.
$ pmtool archs --config --base | tail -1
Korvan:prom
$ pmtool archs --physical --json | compact_json
{"archs": ["Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"]}
$ pmtool archs --logical --physical
! pmtool archs: --logical and --physical exclude each other
! Run 'pmtool archs --help' for usage.
[2]

# check-part names the failing level and completes the part with defaults.
$ pmtool check-part --json gamma ga20 | compact_json
{"arch": "gamma", "levels": [{"level": "architecture", "name": "gamma", "valid": true}, {"level": "device", "name": "ga20", "valid": true}], "fails_at": null, "choices": [], "suggestions": [], "completed": {"device": "xcga20", "package": "ff324", "speed": "-1", "partname": "ga20ff324-1"}}
# A configuration memory without package data: valid, but nothing to complete it with.
$ pmtool check-part prom xcpr01 | grep ^completed
completed:  (cannot be completed: no package to choose)
! pmtool check-part: the part cannot be completed: no package to choose
[1]
