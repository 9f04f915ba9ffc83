# Images as bytes (skin images come with updates, the captcha from the gate): the SDL backend
# decodes nothing or an image of its header's size within the caps, and the captcha control takes
# exactly the PNGs it can show.
tarvix_fuzz_target(image_decode SOURCES image_decode_fuzz.cc LIBS testing_image_checks)
