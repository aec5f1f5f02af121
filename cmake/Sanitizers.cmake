# One switch puts AddressSanitizer and UndefinedBehaviorSanitizer on every target.
# Recovery is off so that any report fails the test that produced it.
if(KALVORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
