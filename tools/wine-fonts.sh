#!/bin/sh
# Pins the dialog font of the wine prefix in WINEPREFIX: "MS Shell Dlg" and "MS Shell Dlg 2" are
# Liberation Sans everywhere, linked to a CJK face (kana, Hangul, Han) and a Thai face, so that
# pages measure and draw every language in the same fonts on every machine (tools/setup.sh
# installs them).
set -e
. "$(dirname "$0")/wine-retry.sh"
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
  wine_retry wine reg add "$substitutes" /v "$face" /t REG_SZ /d "Liberation Sans" /f >/dev/null
done
wine_retry wine reg add "$links" /v "Liberation Sans" /t REG_MULTI_SZ \
  /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0Loma.ttf,Loma' /f >/dev/null
# Window captions in the same face, regular as on current Windows: a bold caption finds no bold
# CJK face to link to and draws those titles as boxes.
caption=F5FFFFFF0000000000000000000000009001000000000000000000224D00530020005300680065006C006C00200044006C00670000000000000000000000000000000000000000000000000000000000000000000000000000000000
wine_retry wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v CaptionFont /t REG_BINARY \
  /d "$caption" /f >/dev/null
