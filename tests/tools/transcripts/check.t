# pmtool check: broken installations, one fault each, and the findings (file, key, kind) they
# give, with status 1.
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
# fault EDITS: the findings (file, key, kind) of the clean installation changed by EDITS; a
# status other than 1 shows as [1].
$ fault() { rm -rf inst && cp -r clean inst && (cd inst && eval "$1") &&
>   pmtool --install inst check --json | python3 -c 'import json, sys
> for f in json.load(sys.stdin): print(f["file"], f["key"] or "-", f["kind"])'; [ $? = 1 ]; }

$ fault 'echo "# no key" > $A; pmtool seg write beta/data/be1.spd -- -0'
inst/alpha/data/alpha.acd - unreadable-definition
inst/beta/data/be1.spd - empty-data-file
inst/beta/data/beta.acd DEVICE_INTERNAL incomplete-device-data
$ fault 'set_key $A ARCH_NAME; set_key $B ARCH_FRIEND'
inst/alpha/data/alpha.acd ARCH_NAME missing-key
inst/beta/data/beta.acd ARCH_FRIEND missing-key
# Names that would lead out of the installation name nothing (and a definition naming another
# module is wrong).
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1,../../../x; set_key $A ARCH_NAME beta'
inst/alpha/data/alpha.acd ARCH_NAME wrong-arch-name
inst/beta/data/beta.acd DEVICE_INTERNAL bad-name
$ fault 'mkdir data; echo "../evilmod=^xcev" > data/patternfile; set_key $B DEVICE_INTERNAL xcbe1,be1:xcbe2,be2'
inst/beta/data/beta.acd DEVICE_INTERNAL no-device-data
inst/data/patternfile ../evilmod bad-name
$ fault 'set_key $B DEVICE_FORMAT "xcbe(_"; set_key $A SPEED_FORMAT "[0-9"'
inst/alpha/data/alpha.acd SPEED_FORMAT bad-format
inst/beta/data/beta.acd DEVICE_FORMAT bad-format
# A subfamily format inherited from a friend.
$ fault 'set_key $B ARCH_FRIEND alpha; set_key $A SUBFAM_FORMAT "ab([0-9]+"'
inst/alpha/data/alpha.acd SUBFAM_FORMAT bad-format
$ fault 'printf "no segments" > alpha/data/ab1.spd; : > beta/data/be1.pkg'
inst/alpha/data/ab1.spd - bad-data-file
inst/alpha/data/alpha.acd DEVICE_INTERNAL incomplete-device-data
inst/beta/data/be1.pkg - empty-data-file
inst/beta/data/beta.acd DEVICE_INTERNAL incomplete-device-data
$ fault 'pmtool seg write alpha/data/ab1.pkg tq144 pc44 tq144; pmtool seg write beta/data/be1.spd -- -6a -6A'
inst/alpha/data/ab1.pkg tq144 duplicate-segment
inst/beta/data/be1.spd -6A duplicate-segment
$ fault 'set_key $A DISALLOW_SPEEDS -2,-9; set_key $B ARCH_FREIND beta'
inst/alpha/data/alpha.acd DISALLOW_SPEEDS bad-disallowed-speed
inst/beta/data/beta.acd ARCH_FREIND misspelled-key
$ fault 'set_key $A ALIAS_alpha first; set_key $B ALIAS_beta first'
inst/alpha/data/alpha.acd ALIAS_alpha alias-collision
inst/beta/data/beta.acd ALIAS_beta alias-collision
$ fault 'set_key $A ALIAS_alpha beta'
inst/beta/data/beta.acd DEVICE_INTERNAL library-message
inst/beta/data/beta.acd DEVICE_INTERNAL library-message
inst/beta/data/beta.acd DEVICE_INTERNAL no-device-data
inst/alpha/data/alpha.acd ALIAS_alpha alias-collision
$ fault 'set_key $A VENTRY_route "route(int,lib"; set_key $B SUPPORT_MODE PHYSICLA'
inst/alpha/data/alpha.acd VENTRY_route bad-ventry
inst/beta/data/beta.acd SUPPORT_MODE bad-value
# A module that can never take a part name.
$ fault 'mkdir data; printf "omega=^x?om[0-9]+\nalpha=ab[\n" > data/patternfile; set_key $B SUPPORT_MODE'
inst/beta/data/beta.acd SUPPORT_MODE missing-key
inst/data/patternfile alpha bad-pattern
# An FPGA device without a device file, and one with only a device file.
$ fault 'set_key $A DEVICE_INTERNAL xcab1,ab1:xcab2,ab2
>   pmtool seg write alpha/data/ab2.pkg tq144; pmtool seg write alpha/data/ab2.spd -- -1'
inst/alpha/data/alpha.acd DEVICE_INTERNAL missing-device-file
$ fault 'set_key $A DEVICE_INTERNAL xcab1,ab1:xcab2,ab2; echo x > alpha/data/ab2.nph'
inst/alpha/data/alpha.acd DEVICE_INTERNAL incomplete-device-data
$ fault 'set_key $A SUBFAM_SPECS 1,2; set_key $A SUBFAM_NAMES one
>   mkdir -p gamma/data; echo "ARCH_NAME = gamma" > gamma/data/Gamma.acd'
inst/alpha/data/alpha.acd SUBFAM_NAMES bad-subfamily
inst/gamma/data/Gamma.acd - misnamed-definition
$ fault 'set_key $B DEVICE_INTERNAL xcbe1,be1:xcab1,be2'
inst/alpha/data/alpha.acd DEVICE_INTERNAL device-clash
inst/beta/data/beta.acd DEVICE_INTERNAL device-clash
# A warning of the library while checking is a finding, not a message on standard error; beta's
# friend name would lead out of the installation, names nothing, and gives such a warning too.
$ fault 'set_key $A FAMILY; set_key $B ARCH_FRIEND ../evilmod'
inst/alpha/data/alpha.acd - library-message
inst/beta/data/beta.acd ARCH_FRIEND bad-name
inst/beta/data/beta.acd - library-message

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

# The overlay's beta overrides the sample's: an override notice is no problem.
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
$ pmtool --install none check --json | compact_json
[{"file": "none", "key": null, "arch": null, "kind": "bad-install-entry", "message": "the installation entry does not exist; correct it in --install"}]
[1]
$ pmtool --install none check --roundtrip
none: the installation entry does not exist; correct it in --install
! pmtool check: 0 part names parsed back, 1 problem
[1]
# Beside a good entry, the modules are checked as well.
$ pmtool --install none:<sample> check beta
none:    the installation entry does not exist; correct it in --install
! pmtool check: 1 module checked, 1 problem
[1]
