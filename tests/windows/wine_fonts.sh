#!/bin/sh
# The fonts a Windows desk has, in the Wine prefix the tests run in: Wine's
# replacements of the same metrics (Liberation), as the tests of the print
# surface measure text in Arial and Times New Roman.
set -e
for pair in "Arial=Liberation Sans" "Arial Narrow=Liberation Sans Narrow" "Times New Roman=Liberation Serif" \
            "Courier New=Liberation Mono"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null
done
echo "Wine's fonts stand in for Arial, Arial Narrow, Times New Roman and Courier New"
