# The languages of the pages written per language (the DICOMDIR browser and the
# structured report): for each, the suffix of the deployed page's name, the
# page's lang attribute (which also picks the texts its script shows) and the
# pages' titles. KDVAX_<PAGE>.html.in is written once a language, as
# KDVAX_<PAGE><suffix>.dll.
set(KEST_PAGE_LANGUAGES en fr)

set(KEST_PAGE_en_SUFFIX "")
set(KEST_PAGE_en_LANG "en")
set(KEST_PAGE_en_DICOMDIR_TITLE "DICOMDIR Browser")
set(KEST_PAGE_en_SR_TITLE "Structured Report")

set(KEST_PAGE_fr_SUFFIX "_FR")
set(KEST_PAGE_fr_LANG "fr")
set(KEST_PAGE_fr_DICOMDIR_TITLE "Navigateur DICOMDIR")
set(KEST_PAGE_fr_SR_TITLE "Compte rendu structuré")
