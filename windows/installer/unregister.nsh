  ; The registration goes; zarn.ini, error_handler.txt, downloads and PDF files stay.
  DeleteRegKey HKCU "Software\Classes\zarn"
