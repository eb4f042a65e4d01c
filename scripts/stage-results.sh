# shellcheck shell=bash
# What a stage of scripts/test-all.sh reports: sourced by scripts/test-all.sh
# and by the stages in scripts/test-all.d/.
#
# Every stage leaves one line for the summary (stage_note), saying how many
# tests it ran, counted from what ran. A suite that cannot run on this
# machine fails its stage with the reason (cannot_run), unless the user has
# allowed skipping with PLCLINK_ALLOW_SKIP=1 and the run is not CI's
# (CI=true): then it is skipped, loudly, and the summary says so.

# stage_note TEXT...: the stage's line in the summary of the stages.
stage_note() {
  [ -z "${PLCLINK_STAGE_NOTE:-}" ] || echo "$*" >"$PLCLINK_STAGE_NOTE"
}

skipping_allowed() {
  [ "${PLCLINK_ALLOW_SKIP:-}" = 1 ] && [ "${CI:-}" != true ]
}

# cannot_run WHAT WHY: WHAT cannot run on this machine because of WHY.
# Returns 0 after a loud SKIPPED line when skipping is allowed; otherwise
# says why the stage fails and returns 1. Either way NOT_RUN keeps it for
# the summary line.
NOT_RUN=()
cannot_run() {
  if skipping_allowed; then
    echo "SKIPPED: $1 ($2)"
    NOT_RUN+=("SKIPPED $1 ($2)")
    return 0
  fi
  echo "FAIL: $1 cannot run: $2"
  NOT_RUN+=("$1 cannot run ($2)")
  if [ "${CI:-}" = true ]; then
    echo "(a suite that cannot run fails the stage in CI)"
  else
    echo "(PLCLINK_ALLOW_SKIP=1 skips it on a machine known to lack what it needs)"
  fi
  return 1
}

# with_not_run TEXT: TEXT followed by what did not run, for stage_note.
with_not_run() {
  local line=$1 item
  for item in "${NOT_RUN[@]}"; do line="$line; $item"; done
  echo "$line"
}

# run_ctest BUILD_DIR LOG [ctest options...]: runs the tests of BUILD_DIR,
# ctest's output shown and kept in LOG, GoogleTest's reports of them in
# BUILD_DIR/gtest-reports. Then CTEST_RAN is the number of tests ctest ran
# and GTEST_RAN the number of GoogleTest test cases among them; each test or
# test case that skipped itself goes to cannot_run. Returns ctest's status,
# or cannot_run's when the tests passed. The tests run side by side, as many
# at once as the machine has cores (PLCLINK_TEST_JOBS): most of their time
# is spent waiting on a simulator's line (the end-to-end suites that judge
# slot times and pauses on the real clock are marked to run alone). TESTS_UNDER_WINE=1: the tests are
# Windows programs run under Wine, one at a time.
run_ctest() {
  local - dir log=$2 status=0
  set -o pipefail  # (for this function only) ctest's status, not tee's
  dir=$(cd "$1" && pwd) || return
  shift 2
  local reports=$dir/gtest-reports
  rm -rf "$reports" && mkdir -p "$reports"
  # Wine's drive Z: is the file system's root; a Windows program takes a
  # path without a drive as relative.
  local drive="" jobs=${PLCLINK_TEST_JOBS:-$(nproc)}
  [ "${TESTS_UNDER_WINE:-}" != 1 ] || drive=Z: jobs=1
  (cd "$dir" && GTEST_OUTPUT="xml:$drive$reports/" ctest --output-on-failure --no-tests=error --parallel "$jobs" "$@") 2>&1 |
    tee "$log" ||
    status=$?
  local counts
  counts=$(python3 "$(dirname "${BASH_SOURCE[0]}")/count-tests.py" "$log" "$reports") || return 1
  # shellcheck disable=SC2034  # read by the scripts that source this one
  CTEST_RAN=$(sed -n 1p <<<"$counts")
  # shellcheck disable=SC2034
  GTEST_RAN=$(sed -n 2p <<<"$counts")
  local name why
  while IFS=$'\t' read -r name why; do
    cannot_run "$name" "$why" || [ $status -ne 0 ] || status=1
  done < <(sed -n '3,$p' <<<"$counts")
  return $status
}

# soak_transactions LOG [KIND]: how many transactions the soak run logged
# in LOG made (0 when it did not get to its report); KIND "ring soak" for
# the run in the token ring.
soak_transactions() {
  local made
  made=$(sed -n "s/^${2:-soak}: seed [0-9]*, \([0-9]*\) transactions .*/\1/p" "$1")
  echo "${made:-0}"
}
