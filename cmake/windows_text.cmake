# Writes OUT as the text files IN (a list), one after another, with Windows line ends
# (CR LF), for the zip: Notepad and older editors show bare LF files as one line.
#   cmake -DOUT=file -DIN="a;b" -P windows_text.cmake
set(text "")
foreach(input IN LISTS IN)
  file(READ ${input} part)
  string(APPEND text "${part}")
endforeach()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
