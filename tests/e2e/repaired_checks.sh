# check_repaired SAMPLE FOLDER NAME [JETDB]: what a repair of the product
# database FOLDER/NAME.mdb, first a copy of SAMPLE, must leave on disk: the
# safety backup NAME.1, an exact copy of the file as it was, and no second
# one; no temp.mdb; the data file with the same tables and rows as the
# sample, as mdbtools reads them, and with JETDB checking clean (`jetdb
# check` exit 0). Calls fail (the caller's) at the first difference.
check_repaired() {
  local sample=$1 data=$2 name=$3 jetdb=${4:-} tables_before tables_after table before after
  [ -f "$data/$name.1" ] || fail "no safety backup $name.1"
  cmp -s "$sample" "$data/$name.1" || fail "$name.1 is not an exact copy of the data file as it was"
  [ ! -e "$data/$name.2" ] || fail "more than one safety backup"
  [ ! -e "$data/temp.mdb" ] || fail "temp.mdb was left behind"
  [ -f "$data/$name.mdb" ] || fail "the data file is gone"

  tables_before=$(mdb-tables -1 "$sample" | sort)
  tables_after=$(mdb-tables -1 "$data/$name.mdb" | sort) || fail "mdbtools cannot read the repaired file"
  [ "$tables_before" = "$tables_after" ] || fail "tables differ: before [$tables_before] after [$tables_after]"
  while IFS= read -r table; do
    [ -n "$table" ] || continue
    before=$(mdb-export "$sample" "$table" | sort | md5sum)
    after=$(mdb-export "$data/$name.mdb" "$table" | sort | md5sum) || fail "table $table cannot be read after the repair"
    [ "$before" = "$after" ] || fail "the rows of table $table differ after the repair"
  done <<<"$tables_before"

  if [ -n "$jetdb" ]; then
    "$jetdb" check "$data/$name.mdb" >"$work/check.log" 2>&1 ||
      fail "the repaired file does not check clean: $(cat "$work/check.log")"
  fi
}
