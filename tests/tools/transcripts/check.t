# pmtool check: broken installations, one fault each, and the findings (file, key, kind) and
# status they give; the sample installation is clean.
$ A=alpha/data/alpha.acd; B=beta/data/beta.acd
# A module's definition: NAME TYPE DEVICES FORMAT.
$ module() { printf '%s\n' "ARCH_NAME = $1" "ARCH_FRIEND = $1" "ARCH_TYPE = $2" 'VENDOR = Korvan' \
>   "FAMILY = $1" 'SUPPORT_MODE = PHYSICAL' 'BASE_MODE = FALSE' "DEVICE_INTERNAL = $3" \
>   "DEVICE_FORMAT = $4"; }
# A key set (FILE KEY VALUE) or erased (FILE KEY).
$ set_key() { sed -i "/^$2 = /d" $1; [ $# = 2 ] || echo "$2 = $3" >> $1; }
# A clean installation: the FPGA module alpha with the device xcab1 (device, package and speed
# files) and the CPLD module beta with xcbe1 (package and speed files).
$ mkdir -p clean/alpha/data clean/beta/data && cd clean && echo 'device file' > alpha/data/ab1.nph &&
>   module alpha FPGA xcab1,ab1 '#^x?c?ab[0-9]+' > $A && module beta CPLD xcbe1,be1 xcbe__ > $B &&
>   pmtool seg write alpha/data/ab1.pkg tq144 && pmtool seg write alpha/data/ab1.spd -- -1 -2 &&
>   pmtool seg write beta/data/be1.pkg pc44 && pmtool seg write beta/data/be1.spd -- -6 && cd ..
$ pmtool --install clean check --json
[]
# fault EDITS: the findings (file, key, kind) of the clean installation changed by EDITS.
$ fault() { rm -rf inst && cp -r clean inst && (cd inst && eval "$1") &&
>   pmtool --install inst check --json | python3 -c 'import json, sys
> for f in json.load(sys.stdin): print(f["file"], f["key"] or "-", f["kind"])'; }

$ fault 'echo "# no key" > $A'
inst/alpha/data/alpha.acd - unreadable-definition
[1]
$ fault 'set_key $A ARCH_NAME'
inst/alpha/data/alpha.acd ARCH_NAME missing-key
[1]
$ fault 'set_key $A ARCH_FRIEND'
inst/alpha/data/alpha.acd ARCH_FRIEND missing-key
[1]
$ fault 'set_key $A ARCH_NAME beta'
inst/alpha/data/alpha.acd ARCH_NAME wrong-arch-name
[1]
$ fault 'set_key $A ARCH_FRIEND beta; set_key $B ARCH_FRIEND alpha'
inst/beta/data/beta.acd ARCH_FRIEND friend-loop
[1]
$ fault 'set_key $B ARCH_FRIEND ghost'
inst/beta/data/beta.acd ARCH_FRIEND missing-friend
inst/beta/data/beta.acd - library-message
inst/beta/data/beta.acd - library-message
[1]
# Names that would lead out of the installation name nothing.
$ fault 'set_key $B ARCH_FRIEND ../evilmod'
inst/beta/data/beta.acd ARCH_FRIEND bad-name
inst/beta/data/beta.acd - library-message
[1]
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1,../../../x'
inst/beta/data/beta.acd DEVICE_INTERNAL bad-name
[1]
$ fault 'mkdir data; echo "../evilmod=^xcev" > data/patternfile'
inst/data/patternfile ../evilmod bad-name
[1]
$ fault 'set_key $B DEVICE_FORMAT "xcbe(_"'
inst/beta/data/beta.acd DEVICE_FORMAT bad-format
[1]
$ fault 'set_key $A SPEED_FORMAT "[0-9"'
inst/alpha/data/alpha.acd SPEED_FORMAT bad-format
[1]
# A subfamily format inherited from a friend.
$ fault 'set_key $B ARCH_FRIEND alpha; set_key $A SUBFAM_FORMAT "ab([0-9]+"'
inst/alpha/data/alpha.acd SUBFAM_FORMAT bad-format
[1]
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1:xcbe2,be2'
inst/beta/data/beta.acd DEVICE_INTERNAL no-device-data
[1]
# A device with packages but no speed grade.
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1:xcbe3,be3; pmtool seg write beta/data/be3.pkg pc44'
inst/beta/data/beta.acd DEVICE_INTERNAL incomplete-device-data
[1]
$ fault 'echo x > alpha/data/ab9.nph'
inst/alpha/data/ab9.nph DEVICE_INTERNAL unlisted-device-file
[1]
$ fault 'printf "no segments" > alpha/data/ab1.spd'
inst/alpha/data/ab1.spd - bad-data-file
inst/alpha/data/alpha.acd DEVICE_INTERNAL incomplete-device-data
[1]
$ fault ': > beta/data/be1.pkg'
inst/beta/data/be1.pkg - empty-data-file
inst/beta/data/beta.acd DEVICE_INTERNAL incomplete-device-data
[1]
$ fault 'pmtool seg write beta/data/be1.spd -- -0'
inst/beta/data/be1.spd - empty-data-file
inst/beta/data/beta.acd DEVICE_INTERNAL incomplete-device-data
[1]
$ fault 'pmtool seg write alpha/data/ab1.pkg tq144 pc44 tq144'
inst/alpha/data/ab1.pkg tq144 duplicate-segment
[1]
$ fault 'pmtool seg write beta/data/be1.spd -- -6a -6A'
inst/beta/data/be1.spd -6A duplicate-segment
[1]
$ fault 'set_key $A DISALLOW_SPEEDS -2,-9'
inst/alpha/data/alpha.acd DISALLOW_SPEEDS bad-disallowed-speed
[1]
$ fault 'set_key $A ALIAS_alpha first; set_key $B ALIAS_beta first'
inst/alpha/data/alpha.acd ALIAS_alpha alias-collision
inst/beta/data/beta.acd ALIAS_beta alias-collision
[1]
$ fault 'set_key $A ALIAS_alpha beta'
inst/beta/data/beta.acd DEVICE_INTERNAL library-message
inst/beta/data/beta.acd DEVICE_INTERNAL library-message
inst/beta/data/beta.acd DEVICE_INTERNAL no-device-data
inst/alpha/data/alpha.acd ALIAS_alpha alias-collision
[1]
$ fault 'set_key $A VENTRY_route "route(int,lib"'
inst/alpha/data/alpha.acd VENTRY_route bad-ventry
[1]
$ fault 'set_key $B VENTRY_pack pack,nolib'
inst/beta/data/beta.acd VENTRY_pack missing-library
[1]
$ fault 'mkdir data; printf "omega=^x?om[0-9]+\nalpha=ab[\n" > data/patternfile'
inst/data/patternfile alpha bad-pattern
[1]
# Modules that can never take a part name, and keys the library never reads.
$ fault 'set_key $B SUPPORT_MODE'
inst/beta/data/beta.acd SUPPORT_MODE missing-key
[1]
$ fault 'set_key $B SUPPORT_MODE PHYSICLA'
inst/beta/data/beta.acd SUPPORT_MODE bad-value
[1]
$ fault 'set_key $B DEVICE_FORMT xcbe__'
inst/beta/data/beta.acd DEVICE_FORMT misspelled-key
[1]
$ fault 'set_key $B ARCH_FREIND beta'
inst/beta/data/beta.acd ARCH_FREIND misspelled-key
[1]
# An FPGA device without a device file, and one with only a device file.
$ fault 'set_key $A DEVICE_INTERNAL xcab1,ab1:xcab2,ab2
>   pmtool seg write alpha/data/ab2.pkg tq144; pmtool seg write alpha/data/ab2.spd -- -1'
inst/alpha/data/alpha.acd DEVICE_INTERNAL missing-device-file
[1]
$ fault 'set_key $A DEVICE_INTERNAL xcab1,ab1:xcab2,ab2; echo x > alpha/data/ab2.nph'
inst/alpha/data/alpha.acd DEVICE_INTERNAL incomplete-device-data
[1]
$ fault 'set_key $A SUBFAM_SPECS 1,2; set_key $A SUBFAM_NAMES one'
inst/alpha/data/alpha.acd SUBFAM_NAMES bad-subfamily
[1]
$ fault 'mkdir -p gamma/data; echo "ARCH_NAME = gamma" > gamma/data/Gamma.acd'
inst/gamma/data/Gamma.acd - misnamed-definition
[1]
$ fault 'set_key $A ARCH_TYPE FGPA'
inst/alpha/data/alpha.acd ARCH_TYPE bad-value
[1]
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1:xcab1,be2'
inst/alpha/data/alpha.acd DEVICE_INTERNAL device-clash
inst/beta/data/beta.acd DEVICE_INTERNAL device-clash
[1]
# A warning of the library while checking is a finding, not a message on standard error.
$ fault 'set_key $A FAMILY'
inst/alpha/data/alpha.acd - library-message
[1]

# The library refuses a module of an unknown type outright: the type is the one finding.
$ fault 'set_key $A ARCH_TYPE FGPA' >/dev/null; pmtool --install inst check alpha
inst/alpha/data/alpha.acd:  ARCH_TYPE:  "FGPA" is no architecture type, so the library refuses the module: write FPGA, CPLD or CONFIG
! pmtool check: 1 module checked, 1 problem
[1]
# Modules that declare devices but that part names never reach offer no name to parse back.
$ fault 'set_key $A SUPPORT_MODE; set_key $B SUPPORT_MODE PHYSICLA' >/dev/null; pmtool --install inst check --roundtrip
inst/alpha/data/alpha.acd: part names never bind to alpha: it is no physical architecture with device data and a DEVICE_FORMAT
inst/beta/data/beta.acd: part names never bind to beta: it is no physical architecture with device data and a DEVICE_FORMAT
! pmtool check: 0 part names parsed back, 2 problems
[1]
# Named modules only, and plain lines with file and key.
$ fault 'set_key $A DISALLOW_SPEEDS -9; set_key $B ARCH_FRIEND' >/dev/null; pmtool --install inst check alpha
inst/alpha/data/alpha.acd:  DISALLOW_SPEEDS:  "-9" is no speed grade of any device of alpha
! pmtool check: 1 module checked, 1 problem
[1]
$ pmtool --install inst check nosuch
inst/nosuch/data/nosuch.acd:    no module "nosuch" is installed
! pmtool check: 1 module checked, 1 problem
[1]
$ pmtool --install inst check --nosuch
! pmtool check: unknown option "--nosuch"
! Run 'pmtool check --help' for usage.
[2]

# The sample: xcab80e has no device file, so only a configuration part of it is valid. The
# overlay's beta overrides the sample's: an override notice is no problem.
$ pmtool check | grep -c xcab80e
1
! pmtool check: 7 modules checked, 1 problem
[1]
$ pmtool check --roundtrip
! pmtool check: 20 part names parsed back, each to what it was made from
$ pmtool --install <sample>/overlay:<sample> check | grep -c xcab80e
1
! pmtool check: 7 modules checked, 1 problem
[1]
$ pmtool --install <sample>/overlay:<sample> check --roundtrip
! pmtool check: 22 part names parsed back, each to what it was made from

# Each module on a loop, and one leading into it, meets the same loop: it is told once, from its
# smallest name, on the file that closes it.
$ for m in 1:2 2:3 3:1 4:2; do mkdir -p loop/m${m%:*}/data; module m${m%:*} CPLD xcm${m%:*},m${m%:*} xcm${m%:*} |
>   sed "s/^ARCH_FRIEND = .*/ARCH_FRIEND = m${m#*:}/" > loop/m${m%:*}/data/m${m%:*}.acd; done
$ pmtool --install loop check | grep 'loops back'
loop/m3/data/m3.acd:  ARCH_FRIEND:      the friend chain m1 -> m2 -> m3 loops back to its start
! pmtool check: 4 modules checked, 5 problems
[1]

# An installation entry that is no folder is a finding: a broken installation is not a healthy
# one with no module.
$ touch file; pmtool --install none check --json | compact_json
[{"file": "none", "key": null, "arch": null, "kind": "bad-install-entry", "message": "the installation entry does not exist; correct it in --install"}]
[1]
$ pmtool --install none check --roundtrip
none: the installation entry does not exist; correct it in --install
! pmtool check: 0 part names parsed back, 1 problem
[1]
$ pmtool --install file check
file:    the installation entry is not a folder; correct it in --install
! pmtool check: 0 modules checked, 1 problem
[1]
# Beside a good entry, the modules are checked as well.
$ pmtool --install none:<sample> check beta
none:    the installation entry does not exist; correct it in --install
! pmtool check: 1 module checked, 1 problem
[1]

# Two architectures whose device formats both match the qb devices, both listing xcqb2: the
# first in list order takes the second's part names.
$ mkdir -p over/first/data over/second/data && cd over
$ module first CPLD xcqa1,qa1:xcqb2,qb2 '#^x?c?q[a-z][0-9]+' > first/data/first.acd
$ module second CPLD xcqb2,qb2 xcqb_ > second/data/second.acd
$ for f in first/data/qa1 first/data/qb2 second/data/qb2; do pmtool seg write $f.pkg pk1; pmtool seg write $f.spd -- -1; done; cd ..
$ pmtool --install over check --roundtrip --json | compact_json
[{"file": "over/second/data/second.acd", "key": "xcqb2pk1-1", "arch": "second", "kind": "roundtrip", "message": "made from second xcqb2 pk1 -1, binds to first xcqb2 pk1 -1"}]
[1]
$ pmtool --install over check --roundtrip first
! pmtool check: 2 part names parsed back, each to what it was made from
