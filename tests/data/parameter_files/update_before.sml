<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment the update keeps -->
<HEADER_INFO>
  <Unknown>
	<keep>tabs	and  spaces</keep>
  </Unknown>
   <Alpha>
      <old>1</old>
   </Alpha>
  <Omega><z>9</z></Omega>
</HEADER_INFO>
<!-- a trailing comment the update drops -->
