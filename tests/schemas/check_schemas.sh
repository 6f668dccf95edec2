#!/usr/bin/env bash
# Checks the shipped schemas and example parameter files against each other
# (a schema that does not compile fails the validations; the ".key" file is
# read by the unit tests).  Usage: check_schemas.sh [source dir]; exits 1 if
# any check fails.
set -u

root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
schemas="$root/auxiliary/xml_schema_files"
examples="$root/examples"

if ! command -v xmllint >/dev/null 2>&1; then
  echo "xmllint not found (package libxml2-utils)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0

pass() { checks=$((checks + 1)); echo "ok    $1"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL  $1" >&2; }

# xmllint exit codes: 3 = document invalid, 5 = schema does not compile.
validate() { # schema document -> xmllint's status, messages in $work/last.log
  xmllint --noout --nonet --schema "$1" "$2" >"$work/last.log" 2>&1
}
xpath() { xmllint --nonet --xpath "$1" "$2" 2>/dev/null; }

shopt -s nullglob
schema_files=("$schemas"/*.xsd)
[ ${#schema_files[@]} -gt 0 ] || fail "no schema in $schemas"

# 1: every field of a section (root/complexType/sequence/element) has a type
# the reader maps, sections are described or xs:anyType; header namespace.
SEC="/*[local-name()='schema']/*[local-name()='element']/*/*[local-name()='sequence']/*[local-name()='element']"
FLD="$SEC/*/*/*[local-name()='element']"
MAPPED_TYPES='^(xs:string|xs:double|xs:long|xs:anyType|OrbiscanFlagType|OrbiscanInterpolationType|(Vector|Matrix)(String|Double|Integer))$'
for xsd in "${schema_files[@]}"; do
  name=$(basename "$xsd" .xsd)
  top=$(xpath "string(/*[local-name()='schema']/*[local-name()='element'][1]/@name)" "$xsd")
  [ -n "$top" ] || continue
  sections=$(xpath "count($SEC)" "$xsd")
  untyped=$(xpath "count($FLD[not(@type)]) + count($SEC[@type and @type!='xs:anyType'])" "$xsd")
  unmapped=$(xpath "$FLD/@type" "$xsd" | grep -o 'type="[^"]*"' | sed 's/^type="\(.*\)"$/\1/' | grep -v -E "$MAPPED_TYPES" | tr '\n' ' ')
  if [ "$top" = "$name" ] && [ "${sections:-0}" -gt 0 ] && [ "$untyped" = "0" ] && [ -z "$unmapped" ]; then
    pass "$name.xsd: $sections sections, every field of a mapped type"
  else
    fail "$name.xsd: root $top, ${sections:-0} sections, $untyped untyped fields or typed sections, unmapped types: $unmapped"
  fi
done
code_uri=$(sed -n 's/.*CORBS_HEADER_SCHEMA_URI *= *"\([^"]*\)".*/\1/p' "$root/orbiscan_utility/tools_library/orbs_description_xml.h")
schema_uri=$(xpath "string(/*[local-name()='schema']/@targetNamespace)" "$schemas/HEADER_INFO.xsd")
if [ -n "$code_uri" ] && [ "$code_uri" = "$schema_uri" ]; then
  pass "HEADER_INFO.xsd declares the namespace the header writer writes"
else
  fail "header namespace: writer '$code_uri', HEADER_INFO.xsd '$schema_uri'"
fi

# 2: examples validate against the schema named after their root;
# 3: templates
# against a view of the schemas whose numbers and flags take placeholder words.
check_file() { # parameter file, schema directory, label
  local rootname
  rootname=$(sed -n 's/^<\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$1" | head -n 1)
  if [ ! -f "$2/$rootname.xsd" ]; then
    fail "$3: no schema for the root element '$rootname'"
  elif validate "$2/$rootname.xsd" "$1"; then
    pass "$3 validates against $rootname.xsd"
  else
    fail "$3 does not validate against $rootname.xsd: $(grep -v 'fails to validate' "$work/last.log" | head -n 3)"
  fi
}
filled=("$examples"/*.sml "$examples"/scihub/*.sml "$root"/tests/schemas/data/*.sml)
templates=("$examples"/templates/*.sml)
[ ${#filled[@]} -gt 0 ] && [ ${#templates[@]} -gt 0 ] || fail "no example parameter file or template in $examples"
for f in "${filled[@]}"; do check_file "$f" "$schemas" "${f#"$root"/}"; done
view="$work/template_view"
mkdir -p "$view"
for xsd in "${schema_files[@]}"; do
  sed -e 's/\(type\|base\)="xs:double"/\1="OrbiscanTemplateDoubleType"/g' \
      -e 's/\(type\|base\)="xs:long"/\1="OrbiscanTemplateLongType"/g' \
      -e 's/\(type\|base\)="xs:int"/\1="OrbiscanTemplateIntType"/g' \
      -e 's/\(type\|base\)="OrbiscanFlagType"/\1="OrbiscanTemplateFlagType"/g' \
      "$xsd" >"$view/$(basename "$xsd")"
done
for f in "${templates[@]}"; do check_file "$f" "$view" "${f#"$root"/} (template)"; done

# 4: broken copies must be refused (the checks have teeth).
refuse() { # label, schema, sed expression applied to a copy of the file, file
  sed -e "$3" "$4" >"$work/broken.sml"
  if cmp -s "$work/broken.sml" "$4"; then
    fail "refusal check '$1' did not change ${4#"$root"/}"
  elif validate "$2" "$work/broken.sml"; then
    fail "refusal check '$1': the broken file was accepted"
  else
    pass "refused: $1"
  fi
}
refuse "flag in the wrong letter case" "$schemas/PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD.xsd" \
  's|<wait_until_finish_flag>OK<|<wait_until_finish_flag>ok<|' "$examples/sentinel_auxiliaries.sml"
refuse "placeholder in a filled Integer field" "$schemas/PARAMETERS_INFO_SCI_HUB_GET_CMD.xsd" \
  's|<relativeorbitnumber>[^<]*<|<relativeorbitnumber>USER_OPTIONAL_PARAMETER<|' "$examples/scihub/box.sml"
refuse "header outside its namespace" "$schemas/HEADER_INFO.xsd" \
  's|^<HEADER_INFO xmlns="[^"]*"|<HEADER_INFO|' "$root/tests/schemas/data/geocoded_raster.sml"

echo "$checks checks, $failures failed"
[ $failures -eq 0 ]
