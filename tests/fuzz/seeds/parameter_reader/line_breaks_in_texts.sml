<?xml version="1.0" ?>
<HEADER_INFO>
   <RasterInfo>
      <CellType>onetwo&#10;three</CellType>
      <BandName>
         <VectorString NumberOfElements = "2">
            <ValueString ID = "0">&#13;&#10;VV</ValueString>
            <ValueString ID = "1">VH</ValueString>
         </VectorString>
      </BandName>
   </RasterInfo>
</HEADER_INFO>
