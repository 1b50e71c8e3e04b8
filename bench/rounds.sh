# Shared by the benchmarks (sourced): rounds of runs and their medians.

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else printf "%.3f\n", (a[NR/2]+a[NR/2+1])/2}'; }

# Rounds, each running every tool once (run_tool TOOL ARGUMENTS..., which
# prints "wall cpu rss ok"), so a slow spell of this shared machine falls on
# all tools alike. Fills the caller's associative arrays walls, cpus, peak
# and okk, then med and cpu with the medians.
run_rounds() {  # runs tools-array-name arguments...
  local runs="$1" tool w c r ok
  local -n listed="$2"
  shift 2
  for _ in $(seq 1 "$runs"); do
    for tool in "${listed[@]}"; do
      read -r w c r ok < <(run_tool "$tool" "$@")
      walls[$tool]="${walls[$tool]:-} $w"
      cpus[$tool]="${cpus[$tool]:-} $c"
      [ "$r" -gt "${peak[$tool]:-0}" ] && peak[$tool]=$r
      [ "$ok" = ok ] || okk[$tool]=BAD
    done
  done
  for tool in "${listed[@]}"; do
    med[$tool]=$(printf "%s\n" ${walls[$tool]} | median)
    cpu[$tool]=$(printf "%s\n" ${cpus[$tool]} | median)
  done
}
