#!/usr/bin/env bash
# Deliberate faults, one at a time, to see which of them the test suite
# notices: in the engine and the number texts (M1–M25), and beyond them in
# the response, the materials' mapping and texts, the command line's
# reading of numbers, the cycles and the fits (M26–M39), the model's domain,
# the check against the exact values and the records' columns (M40–M46).
#
#   scripts/mutants.sh            every mutant
#   scripts/mutants.sh M3 M7      only these
#   scripts/mutants.sh --list     the mutants and what each one breaks
#
# Each mutant is applied to a copy of the working tree in build/mutants/src,
# built there (Release) and tested with ctest, which stops at the first
# failing test. A mutant is "caught" when some test fails, "survived" when
# the whole suite passes. The table goes to standard output and to
# build/mutants/table.txt. Exit status 1 when a mutant does not apply (the
# code it edits has changed) or its build fails.
#
# MUTANTS_CMAKE_ARGS adds configure options (e.g. -DQUORIX_GUI=OFF) and
# MUTANTS_CTEST_ARGS ctest options (e.g. -R 'Digamma|Hypergeometric') for a
# quicker look at part of the suite; MUTANTS_WORK another folder than
# build/mutants, so that two checks can run side by side.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work="${MUTANTS_WORK:-$root/build/mutants}"

# id | file | perl substitution applied once to the whole file | what it breaks
mutants=$(cat <<'EOF'
M1|src/specialfunctions/gamma.cpp|s/tmp = x \+ 5\.5;/tmp = x + 5.25;/|log-gamma: wrong Lanczos shift
M2|src/specialfunctions/gamma.cpp|s/\(kPi \/ s\)/(kPi * s)/|gamma: reflection formula for x < 0
M3|src/specialfunctions/series.cpp|s/kMaxTerms = 1000\.0/kMaxTerms = 999.0/|2F1 series: term limit one lower
M4|src/specialfunctions/series.cpp|s/(if \(scope\.Raised\(\)\) return 0;\n)(\s*)(sum = next\.value\(\);)/$2$3\n$2$1/|2F1 series: a faulting term overwrites the kept partial sum
M5|src/specialfunctions/digamma.cpp|s/whole && x <= 1000\.0/whole && x < 1000.0/|digamma: ψ(1000) from the series instead of the table
M6|src/specialfunctions/digamma_series.h|s/kEulerGamma = 0\.577215664901533;/kEulerGamma = 0.5772156649015329;/|digamma tables: Euler's constant one ulp lower
M7|src/specialfunctions/digamma_series.h|s/kSeriesTerms = 100000;/kSeriesTerms = 99999;/|digamma straightforward series: one term fewer
M8|src/specialfunctions/digamma_lanes.cpp|s/kSeriesTerms = 100000;/kSeriesTerms = 100016;/|digamma lanes: one block more
M9|src/specialfunctions/digamma_lanes.cpp|s/(if \(stopped == 0\) continue;\n\s*)s = blockSum;/$1(void)blockSum;/|digamma AVX-512 lanes: stopping block not replayed
M10|src/specialfunctions/digamma_lanes.cpp|s/(_mm256_movemask_pd\(stopped\) == 0\) continue;\n\s*)s = blockSum;/$1(void)blockSum;/|digamma AVX2 lanes: stopping block not replayed
M11|src/specialfunctions/hypergeometric.cpp|s/kIntegerTolerance = 0\.000001;/kIntegerTolerance = 0.00001;/|2F1: wider tolerance for c − a − b whole
M12|src/specialfunctions/hypergeometric.cpp|s/\(2\.0 \* psi1 - psiA - psiB - logOneMinusZ\) \* nextCoef/(2.0 * psi1 - psiA - psiB + logOneMinusZ) * nextCoef/|2F1 logarithmic form: sign of log(1 − z) in the terms
M13|src/specialfunctions/hypergeometric.cpp|s/pow\(1\.0 - z, -a\) \* result/pow(1.0 - z, a) * result/|2F1 Pfaff transformation: wrong power
M14|src/specialfunctions/hypergeometric.cpp|s/sign = t\.gap % 2 == 0 \? -1\.0 : 1\.0/sign = t.gap % 2 == 0 ? 1.0 : -1.0/|2F1 integer-gap form: sign (−1)^K
M15|src/solver/amplitude.cpp|s/Real\(beta\) - gamma/Real(gamma) - beta/|amplitude: β − γ reversed
M16|src/solver/energy_solver.cpp|s/b = b \+ RootTolerance \* Sign\(xm\);/b = b + RootTolerance;/|Brent: minimal step always upwards
M17|src/solver/energy_solver.cpp|s/bw\.Kcd = \(0\.5 \* zc \* i2 \+ i1\) \* zc;/bw.Kcd = (0.5 * zc * i2 - i1) * zc;/|complementary loop integral Kcd
M18|src/solver/energy_solver.cpp|s/if \(!Holds\(\[&\] \{ return Real\(bw\.Za\) == 1\.0; \}\)\) zc = bw\.Za;/zc = bw.Za;/|saturated case: zc = 1 instead of the upper bound
M19|src/solver/loading_branch.cpp|s/zc_ = za == 1\.0 \? ZaUpperBound : za;/zc_ = za;/|loading branch (loop view, fit): saturated case
M20|src/solver/loading_branch.cpp|s/return \(1\.0 - y\) \+ y \* oneMinusPow;/return (1.0 - y) + oneMinusPow;/|loop view: slope of the unloading branch
M21|src/accurate/solve.cpp|s/return 0\.5 \* p\.x \* b1_ \* sum;/return 0.5 * p.x * b1_ * sum * (1.0 + 0x1p-40);/|accurate: amplitude excess off by 1e-12
M22|src/accurate/solve.cpp|s/value \+ \(d1 \* eps \+ 0\.5 \* d2 \* eps \* eps\)/value + d1 * eps/|accurate: second-order correction dropped
M23|src/exact/lerch.cpp|s/kNegligible = 0x1p-56;/kNegligible = 0x1p-36;/|exact Lerch sums: series cut off far too early
M24|src/decimal/numbertext.cpp|s/return n\.negative \? -0\.0 : 0\.0;/return 0.0;/|number text: underflow loses the sign of zero
M25|src/decimal/numbertext.cpp|s/exponent < -4 /exponent < -5 /|plain number: exponent form starts one decade lower
M26|src/solver/domain.cpp|s/c\.beta == 1\.0 - c\.gamma && c\.gamma < 0\.0/c.beta == 1.0 - c.gamma \&\& c.gamma < -0.5/|domain: a negative gamma down to -0.5 taken as inside, z runs away
M27|src/response/response.cpp|s/z_ = direction_ \* FrameZ\(state_\);/z_ = FrameZ(state_);/|response: z on a descending branch keeps the ascending sign
M28|src/response/response.cpp|s/closed_\.work = Work\(startState_, state_, direction_ \* \(previousU - uStart_\)/closed_.work = Work(startState_, state_, (previousU - uStart_)/|response: work of a closed descending stretch with the wrong sign
M29|src/material/material.cpp|s/c\.Uy = Nonzero\(m\.yield \/ m\.k, "Uy"\);/c.Uy = Nonzero(m.k \/ m.yield, "Uy");/|material: the Wen link's Uy inverted (k/yield)
M30|src/material/material.cpp|s/Nonzero\(Multiply\(s, c\.gamma\)\.Value\(\), "beta"\)/Nonzero(Multiply(s, c.beta).Value(), "beta")/|material: OpenSees's beta written from beta instead of gamma
M31|src/material/material.cpp|s/c\.alpha = alpha == 0\.0 \? 0\.0 : dd::Divide\(alpha, D\)\.Value\(\);/c.alpha = alpha;/|material: the general law's alpha not rescaled by A
M32|src/material/material_text.cpp|s/\{"k", "yield", "ratio", "exp"\}/{"k", "yield", "exp", "ratio"}/|material text: the Wen link's ratio= and exp= swapped
M33|src/cli/cli_common.cpp|s/if \(!gAsTyped\.load\(\) && !IsCompleteNumber\(text\)\)/if (false \&\& !IsCompleteNumber(text))/|command line: a mistyped number ('2,5') read as the window reads it, silently
M34|src/decimal/numbertext.cpp|s/n\.wholeText = in\.AtEnd\(\);/n.wholeText = true;/|number grammar: trailing text ('1e', '2,5') counted as a whole number
M35|src/cli/cli_common.cpp|s/\*umax \/ Uy\)/*umax)/|command line: --umax taken as Umax/Uy, not divided by Uy
M36|src/measured/cycles.cpp|s/q\.EDC \/ \(2\.0 \* std::numbers::pi \* q\.Keff \* d \* d\)/q.EDC \/ (std::numbers::pi * q.Keff * d * d)/|cycles: the equivalent damping ratio doubled
M37|src/measured/cycles.cpp|s/if \(q\.EDC < 0\.0\) \+\+table\.counterClockwise;/if (q.EDC > 0.0) ++table.counterClockwise;/|cycles: the clockwise cycles counted as the counter-clockwise ones
M38|src/measured/steady_fit.cpp|s/result\.rmsRelative = result\.rms \/ meanFPlus;/result.rmsRelative = result.rms \/ (2.0 * meanFPlus);/|steady fit: the relative misfit halved
M39|src/measured/record_fit.cpp|s/result\.rmsRelative = result\.rms \/ MisfitScale\(pr, table, cycles\);/result.rmsRelative = result.rms;/|record fit: the relative misfit not divided by the force scale
M40|src/solver/domain.cpp|s/c\.alpha >= 0\.0 && c\.alpha < 1\.0/c.alpha >= 0.0 \&\& c.alpha <= 1.5/|domain: alpha up to 1.5 taken as inside the model
M41|src/solver/domain.cpp|s/if \(\*UmaxOverUy < 0\.0\)/if (*UmaxOverUy < -1.0)/|domain: a slightly negative amplitude taken as inside
M42|src/accurate/check.cpp|s/return std::fabs\(specified - exact\) > kCheckBound \* std::fabs\(exact\);/return std::fabs(specified - exact) > 10.0 * kCheckBound * std::fabs(exact);/|check: the bound ten times wider
M43|src/commands/commands.cpp|s/return std::max\(kAmplitudeDecimals, std::min\(p - e, 1 - e\)\);/return kAmplitudeDecimals;/|sweep rows: a fine step's Umax/Uy with two decimals again
M44|src/measured/record_columns.cpp|s/if \(best == kNone \x7c\x7c words < fewest\)/if (best == kNone)/|records: the first name saying displacement taken, not the shortest
M45|src/measured/record.cpp|s/if \(uByPosition_ && !record_\.F\.empty\(\)/if (false \&\& !record_.F.empty()/|records: a time column taken for the displacement silently
M46|src/measured/record.cpp|s/if \(delimiter_ == ',' && LooksLikeDecimalCommaPairs\(fields_\)\)/if (false)/|records: commas both between columns and as decimal marks read as four columns
EOF
)
# The page's reading of the engine's JSON, caught by node's test runner.
mutants+=$'\n'$(grep -v '^#' "$root/scripts/web-mutants.txt")

if [ "${1:-}" = "--list" ]; then
  echo "$mutants" | awk -F'|' '{ printf "%-4s %-42s %s\n", $1, $2, $4 }'
  exit 0
fi
wanted=" $* "

mkdir -p "$work"
# A copy of the tracked and new files, so that the working tree is never
# edited and an interrupted run leaves nothing behind in it. Only files whose
# contents differ are copied, with a new time stamp: the build must see every
# change, also a file put back to an older version.
# A file the tree no longer has is removed from the copy: a header left
# behind in a room's folder would shadow the one that moved elsewhere.
mkdir -p "$work/src"
files=$(cd "$root" && git ls-files -co --exclude-standard)
while IFS= read -r file; do
  [ -e "$root/$file" ] || continue  # deleted, its deletion not yet committed
  if ! cmp -s "$root/$file" "$work/src/$file"; then
    mkdir -p "$(dirname "$work/src/$file")"
    cp "$root/$file" "$work/src/$file"
  fi
done <<<"$files"
(cd "$work/src" && find . -type f ! -name '*.orig' -printf '%P\n') | sort >"$work/copied.txt"
sort <<<"$files" | comm -23 "$work/copied.txt" - | while IFS= read -r gone; do rm -f "$work/src/$gone"; done
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BENCH=OFF ${MUTANTS_CMAKE_ARGS:-} >/dev/null
cmake --build "$work/build" >/dev/null

table="$work/table.txt"
: >"$table"
status=0
while IFS='|' read -r id file subst what; do
  [ "$wanted" = "  " ] || [[ "$wanted" == *" $id "* ]] || continue
  target="$work/src/$file"
  cp "$target" "$target.orig"
  perl -0pi -e "$subst" "$target"
  if cmp -s "$target" "$target.orig"; then
    result="does not apply"
    status=1
  elif [[ $file == web/* ]]; then
    if (cd "$work/src/web" && node --test tests/unit/) >"$work/$id.log" 2>&1; then
      result="survived"
    else
      result="caught: $(grep -m1 -E '^not ok' "$work/$id.log" | sed 's/^not ok [0-9]* - //' || true)"
    fi
  elif ! cmake --build "$work/build" >"$work/$id.build.log" 2>&1; then
    result="build fails"
    status=1
  elif ctest --test-dir "$work/build" -j "$(nproc)" --timeout 300 --stop-on-failure ${MUTANTS_CTEST_ARGS:-} >"$work/$id.log" 2>&1; then
    result="survived"
  else
    first=$(sed -n '/tests FAILED/,$p' "$work/$id.log" | grep -m1 ' - ' | sed 's/^[^-]*- //' || true)
    result="caught: ${first:-see $id.log}"
  fi
  mv "$target.orig" "$target"
  touch "$target"  # newer than the mutant's objects, so they are rebuilt
  printf '%-4s %-50s %s\n' "$id" "$what" "$result" | tee -a "$table"
done <<<"$mutants"
# Leave the copy built as it is in the working tree.
cmake --build "$work/build" >/dev/null
exit $status
