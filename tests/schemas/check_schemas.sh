#!/usr/bin/env bash
# Checks the description schemas, the legacy section descriptions and the
# example parameter files against each other:
#   1. every schema is well-formed and compiles as a W3C XML Schema, alone;
#   2. every schema still parses once its include lines are replaced by the
#      included files, as the command start-up does before reading it;
#   3. every field of a section is declared with a type the schema reader
#      maps (and sections are either described or xs:anyType);
#   4. every example parameter file and every test header validates against
#      the schema named after its root element, and is laid out the way the
#      parameter file writer lays out files;
#   5. templates validate against the template view of the schemas, in which
#      numbers and flags may also hold USER_PARAMETER_TO_FILL or
#      USER_OPTIONAL_PARAMETER;
#   6. broken copies of the examples are refused (the checks have teeth);
#   7. the ".key" descriptions use valid type codes.
# Usage: check_schemas.sh [source directory]   (default: the repository root)
# Exits with 1 when any check fails, after running all of them.
set -u

root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
schemas="$root/auxiliary/xml_schema_files"
keys="$root/auxiliary/key_files"
examples="$root/examples"
testdata="$root/tests/schemas/data"

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

xpath() { # expression file -> result text (empty when nothing matches)
  xmllint --nonet --xpath "$1" "$2" 2>/dev/null
}

root_name() { # first element of a parameter file
  sed -n 's/^<\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$1" | grep -v '^?' | head -n 1
}

# The path of sections and fields inside a command or header schema:
# root element / complexType / sequence / section element, and
# section / complexType / all / field element.
XS_SECTIONS="/*[local-name()='schema']/*[local-name()='element']/*[local-name()='complexType']/*[local-name()='sequence']/*[local-name()='element']"
XS_FIELDS="$XS_SECTIONS/*[local-name()='complexType']/*[local-name()='all' or local-name()='sequence']/*[local-name()='element']"
MAPPED_TYPES='^(xs:string|xs:double|xs:long|xs:anyType|OrbiscanFlagType|OrbiscanInterpolationType|(Vector|Matrix)(String|Double|Integer))$'

shopt -s nullglob
schema_files=("$schemas"/*.xsd)
if [ ${#schema_files[@]} -eq 0 ]; then
  fail "no schema in $schemas"
fi

# 1 and 2: the schemas themselves.
for xsd in "${schema_files[@]}"; do
  name=$(basename "$xsd")
  if xmllint --noout --nonet "$xsd" 2>"$work/last.log"; then
    pass "$name is well-formed"
  else
    fail "$name is not well-formed: $(head -n 3 "$work/last.log")"
    continue
  fi
  echo '<schema_compile_check/>' >"$work/probe.xml"
  validate "$xsd" "$work/probe.xml"
  status=$?
  if [ $status -eq 5 ] || grep -q 'failed to compile' "$work/last.log"; then
    fail "$name does not compile as a schema: $(grep -m 3 -i error "$work/last.log")"
  else
    pass "$name compiles as a schema"
  fi

  # The merged form: each include line replaced by the whole included file
  # (the location is the text after schemaLocation= and its quote, up to
  # and including the first ".xsd", relative to the schema directory).
  merged="$work/merged_$name"
  merge_ok=1
  : >"$merged"
  while IFS= read -r line || [ -n "$line" ]; do
    if [[ "$line" == *"<xs:include"* || "$line" == *"<include"* ]]; then
      location=${line#*schemaLocation=}
      location=${location:1}
      location=${location%%.xsd*}.xsd
      if [ -f "$schemas/$location" ]; then
        cat "$schemas/$location" >>"$merged"
      else
        fail "$name includes $location, which is not in $schemas"
        merge_ok=0
      fi
    else
      printf '%s\n' "$line" >>"$merged"
    fi
  done <"$xsd"
  if [ $merge_ok -eq 1 ]; then
    if xmllint --noout --nonet "$merged" 2>"$work/last.log"; then
      pass "$name parses with its includes merged in"
    else
      fail "$name does not parse with its includes merged in: $(head -n 3 "$work/last.log")"
    fi
  fi
done

# 3: sections and fields of the schemas that describe a parameter file (the
# ones whose top-level element is named after the file).
for xsd in "${schema_files[@]}"; do
  name=$(basename "$xsd" .xsd)
  top=$(xpath "string(/*[local-name()='schema']/*[local-name()='element'][1]/@name)" "$xsd")
  [ -n "$top" ] || continue
  if [ "$top" != "$name" ]; then
    fail "$name.xsd: root element $top is not named after the file"
    continue
  fi
  sections=$(xpath "count($XS_SECTIONS)" "$xsd")
  if [ "${sections:-0}" -lt 1 ] 2>/dev/null; then
    fail "$name.xsd: no section found under the root element"
    continue
  fi
  untyped=$(xpath "count($XS_FIELDS[not(@type)])" "$xsd")
  if [ "${untyped:-1}" != "0" ]; then
    fail "$name.xsd: $untyped field(s) without a type attribute"
  fi
  bad=""
  while IFS= read -r t; do
    [ -z "$t" ] && continue
    [[ "$t" =~ $MAPPED_TYPES ]] || bad="$bad $t"
  done < <(xpath "$XS_FIELDS/@type" "$xsd" | tr ' ' '\n' | sed -n 's/^type="\(.*\)"$/\1/p')
  bad_sections=$(xpath "$XS_SECTIONS[@type and @type!='xs:anyType']/@name" "$xsd")
  if [ -z "$bad" ] && [ -z "$bad_sections" ] && [ "${untyped:-1}" = "0" ]; then
    pass "$name.xsd: $sections sections, every field of a mapped type"
  else
    [ -n "$bad" ] && fail "$name.xsd: field types the reader does not map:$bad"
    [ -n "$bad_sections" ] && fail "$name.xsd: typed sections other than xs:anyType: $bad_sections"
  fi
done

# The namespace of raster headers is written by the code and declared by the
# header schema: both must name the same URI.
code_header="$root/orbiscan_utility/tools_library/orbs_description_xml.h"
if [ -f "$schemas/HEADER_INFO.xsd" ] && [ -f "$code_header" ]; then
  code_uri=$(sed -n 's/.*CORBS_HEADER_SCHEMA_URI *= *"\([^"]*\)".*/\1/p' "$code_header")
  schema_uri=$(xpath "string(/*[local-name()='schema']/@targetNamespace)" "$schemas/HEADER_INFO.xsd")
  if [ -n "$code_uri" ] && [ "$code_uri" = "$schema_uri" ]; then
    pass "HEADER_INFO.xsd declares the namespace the header writer writes"
  else
    fail "header namespace: writer '$code_uri', HEADER_INFO.xsd '$schema_uri'"
  fi
fi

# 4: parameter files against their schema, and their layout.
check_layout() { # file -> 0 when laid out like the writer's output
  local f=$1 first
  first=$(head -n 1 "$f")
  if [ "$first" != '<?xml version="1.0" ?>' ]; then
    echo "first line is not the declaration the writer writes"; return 1
  fi
  if [ -n "$(tail -c 1 "$f")" ]; then
    echo "last line has no line end"; return 1
  fi
  # Past the root opening tag (which may span lines in raster headers), every
  # line is indented by whole units of three blanks and carries no trailing
  # blank.
  awk '
    NR == 1 { next }
    !opened { if ($0 ~ />[ \t]*$/) opened = 1; next }
    /[ \t]$/ { print "line " NR ": trailing blank"; bad = 1; exit }
    { match($0, /^ */); if (RLENGTH % 3 != 0 || substr($0, RLENGTH + 1, 1) != "<") {
        print "line " NR ": indentation is not a multiple of three blanks"; bad = 1; exit } }
    END { exit bad }' "$f"
}

check_file() { # parameter file, schema directory, label
  local f=$1 dir=$2 label=$3 rootname xsd msg
  rootname=$(root_name "$f")
  xsd="$dir/$rootname.xsd"
  if [ ! -f "$xsd" ]; then
    fail "$label: no schema for the root element '$rootname'"
    return
  fi
  if validate "$xsd" "$f"; then
    pass "$label validates against $rootname.xsd"
  else
    fail "$label does not validate against $rootname.xsd: $(grep -v 'fails to validate' "$work/last.log" | head -n 3)"
  fi
  if msg=$(check_layout "$f"); then
    pass "$label follows the writer layout"
  else
    fail "$label: $msg"
  fi
}

filled=("$examples"/*.sml "$testdata"/*.sml)
templates=("$examples"/templates/*.sml)
[ ${#filled[@]} -gt 0 ] || fail "no example parameter file in $examples"
[ ${#templates[@]} -gt 0 ] || fail "no template in $examples/templates"
for f in "${filled[@]}"; do
  check_file "$f" "$schemas" "${f#"$root"/}"
done

# 5: templates against the template view of the schemas.
view="$work/template_view"
mkdir -p "$view"
for xsd in "${schema_files[@]}"; do
  sed -e 's/\(type\|base\)="xs:double"/\1="OrbiscanTemplateDoubleType"/g' \
      -e 's/\(type\|base\)="xs:long"/\1="OrbiscanTemplateLongType"/g' \
      -e 's/\(type\|base\)="xs:int"/\1="OrbiscanTemplateIntType"/g' \
      -e 's/\(type\|base\)="OrbiscanFlagType"/\1="OrbiscanTemplateFlagType"/g' \
      "$xsd" >"$view/$(basename "$xsd")"
done
for f in "${templates[@]}"; do
  check_file "$f" "$view" "${f#"$root"/} (template)"
  if ! grep -q 'USER_PARAMETER_TO_FILL' "$f"; then
    fail "${f#"$root"/}: a template without any USER_PARAMETER_TO_FILL"
  fi
done

# 6: broken copies must be refused.
refuse() { # label, schema, sed expression applied to a copy of the file, file
  local label=$1 xsd=$2 expr=$3 f=$4 copy="$work/broken.sml"
  sed -e "$expr" "$f" >"$copy"
  if cmp -s "$copy" "$f"; then
    fail "refusal check '$label' did not change ${f#"$root"/}"
  elif validate "$xsd" "$copy"; then
    fail "refusal check '$label': the broken file was accepted"
  else
    pass "refused: $label"
  fi
}
hub="$examples/scihub_get.sml"
aux="$examples/sentinel_auxiliaries.sml"
hub_xsd="$schemas/PARAMETERS_INFO_SCI_HUB_GET_CMD.xsd"
aux_xsd="$schemas/PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD.xsd"
hdr="$testdata/geocoded_raster.sml"
hdr_xsd="$schemas/HEADER_INFO.xsd"
if [ -f "$hub" ] && [ -f "$aux" ] && [ -f "$hdr" ]; then
  refuse "flag in the wrong letter case" "$aux_xsd" 's|<wait_until_finish_flag>OK<|<wait_until_finish_flag>ok<|' "$aux"
  refuse "text in a Double field" "$hub_xsd" 's|<west_coord>[^<]*<|<west_coord>ten<|' "$hub"
  refuse "placeholder in a filled Integer field" "$hub_xsd" 's|<relativeorbitnumber>[^<]*<|<relativeorbitnumber>USER_OPTIONAL_PARAMETER<|' "$hub"
  refuse "unknown field" "$hub_xsd" 's|<platformname>|<platform_name>|; s|</platformname>|</platform_name>|' "$hub"
  refuse "field outside its section" "$aux_xsd" '/<output_folder>/d; s|^   <GENERAL_PARAMETERS_CMD>|&\n      <output_folder>/tmp</output_folder>|' "$aux"
  refuse "vector value without ID" "$hdr_xsd" 's|<ValueString ID = "0">VV<|<ValueString>VV<|' "$hdr"
  refuse "vector without its element count" "$hdr_xsd" 's|<VectorString NumberOfElements = "1">|<VectorString>|' "$hdr"
  refuse "header outside its namespace" "$hdr_xsd" 's|^<HEADER_INFO xmlns="[^"]*"|<HEADER_INFO|' "$hdr"
  refuse "sections out of order" "$hdr_xsd" '/<Sensor>/,/<\/Sensor>/d; s|^</HEADER_INFO>|   <Sensor>\n      <SensorName>S1</SensorName>\n   </Sensor>\n&|' "$hdr"
else
  fail "the refusal checks need examples/scihub_get.sml, examples/sentinel_auxiliaries.sml and tests/schemas/data/geocoded_raster.sml"
fi

# 7: legacy section descriptions: records end with ";", the section record is
# "[name]", each field record is "name = code" with an optional count, an
# optional M or V and one of I, D, F, S.
for key in "$keys"/*.key; do
  label="${key#"$root"/}"
  section=$(basename "$key" .key)
  problems=$(tr '\n\r\t' '   ' <"$key" | awk -v RS=';' -v want="$section" '
    { sub(/^ +/, ""); sub(/ +$/, "") }
    $0 == "" { next }
    !started { if ($0 == "[" want "]") started = 1; next }
    /=/ {
      n = split($0, w, / *= */)
      split(w[2], code, / +/)
      if (n != 2 || w[1] !~ /^[A-Za-z_][A-Za-z0-9_]*$/ || code[1] !~ /^[0-9]*[MV]?[IDFS]$/) { print "bad record: " $0; bad = 1 }
      fields++
      next
    }
    { print "record without =: " $0; bad = 1 }
    END {
      if (!started) print "no section record [" want "]"
      else if (!fields) print "no field record"
    }')
  if [ -z "$problems" ]; then
    pass "$label describes section $section"
  else
    fail "$label: $problems"
  fi
done

echo "$checks checks, $failures failed"
[ $failures -eq 0 ]
