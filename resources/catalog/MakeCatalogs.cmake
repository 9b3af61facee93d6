# Builds the two shipped catalogs from the per-language sources.
file(READ ${EN} en)
file(READ ${ZH} zh)
file(WRITE ${OUT}/Pellatic.cat "${en}")
file(WRITE ${OUT}/Pellaticsc.cat "${zh}\n${en}")
