#!/bin/sh
# The browser of the monkey test's desktop: writes the number of arguments it got and each of them, one
# line for every start, so that a run can show that the link hands over exactly one address.
printf '%s' "$#" >>"${ORMEX_MONKEY_BROWSER_LOG:-/dev/null}"
for argument; do printf ' [%s]' "$argument" >>"${ORMEX_MONKEY_BROWSER_LOG:-/dev/null}"; done
echo >>"${ORMEX_MONKEY_BROWSER_LOG:-/dev/null}"
