# Writes the sample presentations (the stand-in's own text format) into OUT_DIR.
# Run as: cmake -DOUT_DIR=<folder> -P write_samples.cmake
set(header "KESTOVA-STANDIN-PRESENTATION")
set(samples
    "Harbour.pptx|slides=6\nloop=1\nadvance_ms=1500\ncolor=008B8B"
    "Meadow.pptx|slides=5\nloop=1\nadvance_ms=2000\ncolor=2E8B57"
    "Sunset.pptx|slides=4\nloop=1\nadvance_ms=2500\ncolor=D2691E"
    "Finale.pptx|slides=3\nloop=0\nadvance_ms=1000\ncolor=8A2BE2"
    "Damaged.pptx|damaged=1")
file(MAKE_DIRECTORY "${OUT_DIR}")
foreach(sample IN LISTS samples)
    string(FIND "${sample}" "|" bar)
    string(SUBSTRING "${sample}" 0 ${bar} name)
    math(EXPR start "${bar} + 1")
    string(SUBSTRING "${sample}" ${start} -1 settings)
    string(REPLACE "\\n" "\n" settings "${settings}")
    file(WRITE "${OUT_DIR}/${name}" "${header}\n${settings}\n")
endforeach()
